#include "sender/RutaNedostupna.h"

#include "platform/Dialogs.h"

bool RutaNedostupna(QWidget* parent) {
  platform::dialogs().messageBox(
      parent, QStringLiteral("Desila se greška: ovaj način slanja nije dostupan u ovoj verziji."),
      platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QString());
  return false;
}
