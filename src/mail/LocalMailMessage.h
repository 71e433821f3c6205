#pragma once
#include <QByteArray>
#include "core/MailFields.h"

namespace mail {

// The message text handed to the local mail system (Unix line ends, no SMTP
// dot-stuffing; Bcc stays in the text for sendmail -t to read and remove). Empty, with a
// description, when an attachment cannot be read.
QByteArray localMailText(const core::MailFields& message, QString* error = nullptr);

}  // namespace mail
