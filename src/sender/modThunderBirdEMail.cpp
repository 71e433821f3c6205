#include "sender/modThunderBirdEMail.h"

#include "sender/RutaNedostupna.h"

bool PronadjiThunderbird(QWidget*) { return false; }

QString TB_ComposeArgument(const std::optional<QString>&, const std::optional<QString>&,
                           const std::optional<QString>&, const std::optional<QString>&,
                           const std::optional<QString>&, const std::optional<TBAttachments>&,
                           const std::optional<QString>&) {
  return {};
}

bool TB_SendEmail(const std::optional<QString>&, const std::optional<QString>&,
                  const std::optional<QString>&, const std::optional<QString>&,
                  const std::optional<QString>&, const std::optional<TBAttachments>&,
                  const std::optional<QString>&, std::optional<bool>, QWidget* parent) {
  return RutaNedostupna(parent);
}
