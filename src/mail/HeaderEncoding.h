#pragma once
#include <QByteArray>
#include <QString>

// Header text of subjects and display names. Plain ASCII stays as it is (a name is
// quoted); anything else becomes "=?UTF-8?B?…?=" words of at most 42 UTF-8 bytes that
// never split a character, joined by CR LF TAB (header folding). CR and LF in the
// text become blanks first, so user text can never start a new header line.
namespace mail {

enum class HeaderMode { Plain, Name };

inline constexpr int kEncodedWordBytes = 42;

// The header value, ready to follow "Subject: " or to stand before " <address>".
// Folded lines are separated by CR LF TAB; the result never ends in CR LF.
QByteArray encodeHeaderText(const QString& text, HeaderMode mode);
// Same words joined by a single blank instead of a fold, for a value that must stay
// on one line (a quoted MIME parameter, or a library that folds by itself).
QByteArray encodeHeaderTextUnfolded(const QString& text, HeaderMode mode);
// True when the text needs encoded words (a character above 126, a control character,
// something that would read as an encoded word, or a length a line cannot hold).
bool needsHeaderEncoding(const QString& text);
// CR and LF replaced by blanks.
QString headerSafe(const QString& text);
// Text between double quotes with " and \ escaped.
QByteArray quotedString(const QString& asciiText);

}  // namespace mail
