#pragma once
#include <QString>
#include <QStringList>

namespace composer {

// The host's command line after the program's name; on Linux the program that loaded us,
// read from the process itself.
QStringList argumentiDomacina();

// The document the host names: its whole argument text when that is a file, else its last
// argument when that is one (a host's own options come first). Only a document the
// composer opens (.htm, .html, .txt) counts: a host's data file must not become the mail.
QString dokumentDomacina(const QStringList& argumenti);

}  // namespace composer
