#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Base64 as the engine writes it: standard alphabet and padding, a CR LF after every
// 76 characters and at the very end (57 input bytes make exactly one line + CR LF).
namespace mail {

inline constexpr int kBase64LineBytes = 57;      // input bytes per 76-character line
inline constexpr int kBase64ChunkBytes = 11400;  // attachment chunk: 200 lines

// Bytes → lines ending in CR LF. Empty input gives an empty result.
QByteArray base64Encode(QByteArrayView bytes);
// Text as UTF-8 → base64 lines ending in CR LF (AUTH LOGIN answers). "" → "".
QString base64EncodeString(const QString& text);
// Base64 of bytes without any line breaks (encoded words, one piece at a time).
QByteArray base64EncodeFlat(QByteArrayView bytes);

// Decodes groups of four characters; "=" ends a group early and a character outside
// the alphabet stops decoding, returning what was decoded before it.
QByteArray decodeBase64Bytes(QByteArrayView text);
// DecodeBase64String: the decoded bytes read as UTF-8.
QString DecodeBase64String(const QString& str2Decode);

}  // namespace mail
