#pragma once
#include <QByteArray>
#include <QByteArrayView>

// The UUEncode mode's line encoder: a length character, then the bytes in groups of
// three through the 64-character table (grave accent for 0); a short last group of
// one byte is followed by "==", of two bytes by "=". No CR LF is appended.
namespace mail {

inline constexpr int kUULineBytes = 45;

// At most 63 input bytes; a longer input gives an empty result.
QByteArray uuencodeLine(QByteArrayView bytes);

}  // namespace mail
