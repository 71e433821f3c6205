#pragma once
#include <QString>

namespace platform {

// A copy of the file for a compose window that reads it after we have returned: the caller
// may delete its own file at once (the send form deletes the host's report when it closes).
// The copies keep their file names and stay, readable only by this user, until the process
// exits. Empty, with a description in *error, when the copy cannot be made.
QString privatnaKopija(const QString& path, QString* error);

}  // namespace platform
