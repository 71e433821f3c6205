#pragma once
#include <QByteArrayList>
#include <QString>

// Quoted-printable (RFC 2045 §6.7) of a text body, line by line: what an 8-bit body
// becomes for a server without 8BITMIME, and how a line longer than SMTP allows
// arrives unchanged (soft line breaks). A line starting with "." gets it as "=2E", so
// the lines need no dot-stuffing.
namespace mail {

// The encoded lines, each at most 76 characters, without line ends.
QByteArrayList quotedPrintableLines(const QString& text);
// True when some line of the text is longer than 998 octets of UTF-8.
bool hasOverlongLine(const QString& text);

}  // namespace mail
