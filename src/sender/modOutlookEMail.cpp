#include "sender/modOutlookEMail.h"

#include "sender/RutaNedostupna.h"

bool OutlookRouteSend(const QString&, const QString&, const QString&, const QString&,
                      const QString&, const QString&, bool, const QString&, const QString&, bool,
                      QWidget* parent) {
  return RutaNedostupna(parent);
}

bool OutlookRouteAvailable() { return false; }
