#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

class QWidget;

namespace sender {

// The Thunderbird route: the compose window, optionally sent by keystroke.
using TBAttachments = std::variant<QString, QStringList>;

// True when the Thunderbird program can be found (else the not-found box).
bool PronadjiThunderbird(QWidget* parent = nullptr);

// The "-compose" argument; absent parameters give no item. The body travels in the file
// bodyFile names.
QString TB_ComposeArgument(const std::optional<QString>& to, const std::optional<QString>& subject,
                           const std::optional<QString>& bodyFile, const std::optional<QString>& cc,
                           const std::optional<QString>& bcc, const std::optional<TBAttachments>& attachments,
                           const std::optional<QString>& sender);

bool TB_SendEmail(const std::optional<QString>& to, const std::optional<QString>& subject,
                  const std::optional<QString>& body, const std::optional<QString>& cc,
                  const std::optional<QString>& bcc, const std::optional<TBAttachments>& attachments,
                  const std::optional<QString>& sender, std::optional<bool> sendByKeystroke, QWidget* parent = nullptr);

}  // namespace sender
