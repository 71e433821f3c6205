#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// DNS datagram layout: writing queries and reading answers. Answers are untrusted:
// every read is checked against the bytes received, and compression pointers may only
// point backwards, so no name can loop.
namespace modMXQuery::wire {

inline constexpr int kHeaderSize = 12;
inline constexpr int kMaxNameLength = 255;
inline constexpr int kMaxLabelLength = 63;
inline constexpr quint16 kTypeA = 1;
inline constexpr quint16 kTypePTR = 12;
inline constexpr quint16 kTypeMX = 15;
inline constexpr quint16 kTypeAAAA = 28;
inline constexpr quint16 kClassIN = 1;
inline constexpr quint16 kFlagResponse = 0x8000;
inline constexpr quint16 kFlagsStandardQuery = 0x0100;  // recursion desired

struct Header {
  quint16 id;
  quint16 flags;
  quint16 questions;
  quint16 answers;
};
std::optional<Header> readHeader(const QByteArray& msg);

// The domain as length-prefixed labels ending in a zero byte; nullopt when it has an
// empty or over-long label, is too long, or cannot be written in ASCII.
std::optional<QByteArray> encodeName(const QString& domain);
QByteArray buildQuery(const QByteArray& encodedName, quint16 type, quint16 id);

struct Name {
  QList<QByteArray> labels;
  int end;  // position just after the name where it was found (after a first pointer)
};
// Reads a possibly compressed name starting at pos; nullopt when it breaks the layout.
std::optional<Name> readName(const QByteArray& msg, int pos);
// The name as a host name; empty when it is the root or holds bytes a host cannot have.
QString hostText(const Name& name);

struct Record {
  quint16 type;
  quint16 rclass;
  int rdata;  // offset of the record data
  int rdlength;
};
// Calls visit for each answer record in order; stops at the first record that breaks the
// layout or when visit returns false.
void forEachAnswer(const QByteArray& msg, const std::function<bool(const Record&)>& visit);

// True when answer is a response to query: same ID, response flag, and the query's
// question echoed (names compared without regard to ASCII case).
bool answersQuery(const QByteArray& answer, const QByteArray& query);

quint16 readU16(const QByteArray& msg, int pos);  // pos + 2 <= msg.size() required

}  // namespace modMXQuery::wire
