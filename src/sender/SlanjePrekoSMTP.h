#pragma once
#include <QString>

class QWidget;
namespace sender {

class SmtpMailer;
struct SMTPPostavke;

// The direct SMTP route: one plain-text message with up to three attachments,
// sent with the stored SMTP settings. A failure's text is shown in the text viewer.
bool SlanjePrekoSMTP(const QString& subject, const QString& to, const QString& body, const QString& attachment1,
                     const QString& cc, const QString& bcc, bool deleteAttachments, const QString& attachment2,
                     const QString& attachment3, QWidget* parent = nullptr);

// Connection settings of a mail-sender object, the same for the route and the test mail.
// Signed in through OAuth 2.0, a fresh access token; false, having told the user, when none
// can be had (kPrijavaIstekla when the provider refused the refresh token).
bool PostaviSMTPVezu(SmtpMailer& mailer, const SMTPPostavke& postavke, QWidget* parent = nullptr);

}  // namespace sender
