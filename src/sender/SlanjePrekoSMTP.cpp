#include "sender/SlanjePrekoSMTP.h"

#include "sender/RutaNedostupna.h"

bool SlanjePrekoSMTP(const QString&, const QString&, const QString&, const QString&,
                     const QString&, const QString&, bool, const QString&, const QString&,
                     QWidget* parent) {
  return RutaNedostupna(parent);
}
