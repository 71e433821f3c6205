#pragma once
#include <QString>
#include <QStringList>

// Line preparation of a message body when it is assigned: CR LF, lone CR and lone LF
// all become CR LF (a bare line end never reaches the wire), every line longer than
// 998 octets of UTF-8 is broken at its last blank at or before octet 998 (else at 998,
// never inside a character), and with dot-stuffing each resulting line that starts
// with "." gets another "." in front (SMTP transparency).
namespace mail {

inline constexpr int kMaxLineOctets = 998;

struct PreparedBody {
  QString text;           // lines joined with CR LF
  bool eightBit = false;  // some character above 126
};

PreparedBody prepareBody(const QString& text, bool dotStuff = true);
// Breaks one line (no line ends inside) into pieces of at most 998 UTF-8 octets.
QStringList breakLongLine(const QString& line);
// True when some character of the text has a code above 126.
bool hasEightBit(const QString& text);

}  // namespace mail
