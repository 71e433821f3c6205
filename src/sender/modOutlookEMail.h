#pragma once
#include <QString>

class QWidget;

namespace sender {

// The desktop mail client route behind the send form's SendOutlookMail.
// sendAtOnce: send through the local mail system, else display the compose window.
bool OutlookRouteSend(const QString& subject, const QString& to, const QString& body, const QString& attachment1,
                      const QString& cc, const QString& bcc, bool deleteAttachments, const QString& attachment2,
                      const QString& attachment3, bool sendAtOnce, QWidget* parent = nullptr);
// The one-time availability probe: silent, true when the client can take an item.
bool OutlookRouteAvailable();

}  // namespace sender
