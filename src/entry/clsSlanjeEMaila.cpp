#include "entry/clsSlanjeEMaila.h"

#include <stdexcept>

void clsSlanjeEMaila::SlanjePrekoRecordseta(platform::RecordSet&, int) {
  throw std::runtime_error("not available");
}
void clsSlanjeEMaila::SlanjeBezRecordSeta(int) { throw std::runtime_error("not available"); }
void clsSlanjeEMaila::SlanjeFajlaPrekoEMaila(int, const QString&, const QString&, const QString&,
                                             const QString&, const QString&, const QString&,
                                             const QString&, const QString&) {
  throw std::runtime_error("not available");
}
