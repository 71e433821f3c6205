// The MX answer reader on arbitrary datagrams: no read outside the bytes received, no
// endless name, and whatever it returns is a sorted table of usable host names.
// fuzz-sources: src/dns/DnsMessage.cpp src/dns/MXAnswer.cpp
#include <cstddef>
#include <cstdint>

#include "dns/DnsMessage.h"
#include "dns/modMXQuery.h"

using namespace modMXQuery;

static void check(bool ok) {
  if (!ok) __builtin_trap();
}

static void checkTable(const QList<MXRecord>& table) {
  for (qsizetype i = 0; i < table.size(); ++i) {
    const MXRecord& r = table[i];
    check(r.preference >= 0 && r.preference <= 0xFFFF);
    check(!r.host.isEmpty() && r.host.size() <= wire::kMaxNameLength);
    check(!r.host.contains(QLatin1String("..")) && !r.host.startsWith(QLatin1Char('.')));
    for (QChar c : r.host) check(c.unicode() > 0x20 && c.unicode() < 0x7F);
    if (i > 0) check(table[i - 1].preference <= r.preference);
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Raw data, not a copy: the sanitizer then sees any read past the datagram's end.
  const QByteArray answer =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  const quint16 id = size >= 2 ? quint16(data[0] << 8 | data[1]) : 0;
  try {
    checkTable(parseMXAnswer(answer, id));
  } catch (const MXQueryError& e) {
    check(e.number == kErrorNumber && e.description == QLatin1String("Not an answer to the MX query"));
  }
  static const QByteArray query = buildMXQuery(QStringLiteral("example.com"));
  (void)wire::answersQuery(answer, query);
  for (int pos = 0; pos < qMin(int(size), 48); ++pos) {
    if (const auto name = wire::readName(answer, pos)) check(name->end > pos && name->end <= int(size));
  }
  return 0;
}
