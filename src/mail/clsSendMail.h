#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "mail/ErrorList.h"
#include "mail/MimeBuilder.h"

namespace mail {
class SmtpDialogue;
struct SessionParams;
}  // namespace mail

namespace mail {

// The component's own SMTP client. One object holds one message (sender, recipient
// lists, subject, body, attachments, options) and the connection settings; Send
// delivers the message over one connection. Every failure is reported through one
// SendFailed; nothing is thrown to the caller. Needs a Q(Core)Application: waits run
// the caller's event loop, so socket events and the caller's windows are served while
// Send or Connect runs. Handlers of its signals must not call Send, Connect or
// Disconnect of the same object (such calls are refused).
class clsSendMail : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool AsHTML READ AsHTML WRITE setAsHTML)
  Q_PROPERTY(QString Attachment READ Attachment WRITE setAttachment)
  Q_PROPERTY(QString BccRecipient READ BccRecipient WRITE setBccRecipient)
  Q_PROPERTY(QString CcDisplayName READ CcDisplayName WRITE setCcDisplayName)
  Q_PROPERTY(QString CcRecipient READ CcRecipient WRITE setCcRecipient)
  Q_PROPERTY(int ConnectRetry READ ConnectRetry WRITE setConnectRetry)
  Q_PROPERTY(int ConnectTimeout READ ConnectTimeout WRITE setConnectTimeout)
  Q_PROPERTY(QString ContentBase READ ContentBase WRITE setContentBase)
  Q_PROPERTY(QString Delimiter READ Delimiter WRITE setDelimiter)
  Q_PROPERTY(int EmailAddressValidation READ EmailAddressValidation WRITE setEmailAddressValidation)
  Q_PROPERTY(int EncodeType READ EncodeType WRITE setEncodeType)
  Q_PROPERTY(QString from READ from WRITE setFrom)
  Q_PROPERTY(QString FromDisplayName READ FromDisplayName WRITE setFromDisplayName)
  Q_PROPERTY(int MaxRecipients READ MaxRecipients WRITE setMaxRecipients)
  Q_PROPERTY(QString message READ message WRITE setMessage)
  Q_PROPERTY(int MessageTimeout READ MessageTimeout WRITE setMessageTimeout)
  Q_PROPERTY(QString Password READ Password WRITE setPassword)
  Q_PROPERTY(bool PersistentSettings READ PersistentSettings WRITE setPersistentSettings)
  Q_PROPERTY(int Priority READ Priority WRITE setPriority)
  Q_PROPERTY(bool Receipt READ Receipt WRITE setReceipt)
  Q_PROPERTY(QString Recipient READ Recipient WRITE setRecipient)
  Q_PROPERTY(QString RecipientDisplayName READ RecipientDisplayName WRITE setRecipientDisplayName)
  Q_PROPERTY(QString ReplyToAddress READ ReplyToAddress WRITE setReplyToAddress)
  Q_PROPERTY(QString POP3Host READ POP3Host WRITE setPOP3Host)
  Q_PROPERTY(QString SMTPHost READ SMTPHost WRITE setSMTPHost)
  Q_PROPERTY(int SMTPHostValidation READ SMTPHostValidation WRITE setSMTPHostValidation)
  Q_PROPERTY(int SmtpPort READ SmtpPort WRITE setSmtpPort)
  Q_PROPERTY(int SecureConnection READ SecureConnection WRITE setSecureConnection)
  Q_PROPERTY(QString Subject READ Subject WRITE setSubject)
  Q_PROPERTY(bool UseAuthentication READ UseAuthentication WRITE setUseAuthentication)
  Q_PROPERTY(bool UsePopAuthentication READ UsePopAuthentication WRITE setUsePopAuthentication)
  Q_PROPERTY(QString UserName READ UserName WRITE setUserName)

 public:
  explicit clsSendMail(QObject* parent = nullptr);
  ~clsSendMail() override;

  bool AsHTML() const { return asHtml_; }
  void setAsHTML(bool NewValue) { asHtml_ = NewValue; }
  QString Attachment() const;
  void setAttachment(const QString& NewValue);
  QString BccRecipient() const { return joined(bcc_); }
  void setBccRecipient(const QString& NewValue);
  QString CcDisplayName() const { return joined(ccNames_); }
  void setCcDisplayName(const QString& NewValue) { ccNames_ = cleanList(NewValue); }
  QString CcRecipient() const { return joined(cc_); }
  void setCcRecipient(const QString& NewValue);
  int ConnectRetry() const { return connectRetry_; }
  void setConnectRetry(int NewValue);
  int ConnectTimeout() const { return connectTimeout_; }
  void setConnectTimeout(int NewValue);
  QString ContentBase() const { return contentBase_; }
  void setContentBase(const QString& NewValue);
  QString Delimiter() const { return delimiter_; }
  void setDelimiter(const QString& NewValue) { delimiter_ = NewValue.left(1); }
  int EmailAddressValidation() const { return emailValidation_; }
  void setEmailAddressValidation(int NewValue);
  int EncodeType() const { return encodeType_; }
  void setEncodeType(int NewValue);
  QString from() const { return from_; }
  void setFrom(const QString& NewValue);
  QString FromDisplayName() const { return fromDisplayName_; }
  void setFromDisplayName(const QString& NewValue);
  int MaxRecipients() const { return maxRecipients_; }
  void setMaxRecipients(int NewValue);
  QString message() const { return body_; }
  void setMessage(const QString& NewValue);
  int MessageTimeout() const { return messageTimeout_; }
  void setMessageTimeout(int NewValue);
  QString Password() const { return password_; }
  void setPassword(const QString& NewValue) { password_ = NewValue; }
  bool PersistentSettings() const { return persistent_; }
  void setPersistentSettings(bool NewValue);
  int Priority() const { return priority_; }
  void setPriority(int NewValue);
  bool Receipt() const { return receipt_; }
  void setReceipt(bool NewValue) { receipt_ = NewValue; }
  QString Recipient() const { return joined(to_); }
  void setRecipient(const QString& NewValue);
  QString RecipientDisplayName() const { return joined(toNames_); }
  void setRecipientDisplayName(const QString& NewValue) { toNames_ = cleanList(NewValue); }
  QString ReplyToAddress() const { return replyTo_; }
  void setReplyToAddress(const QString& NewValue) { replyTo_ = NewValue.trimmed(); }
  // Where customers ask to be taken off a mailing: a List-Unsubscribe header with a mailto
  // link to it; empty, none.
  QString ListUnsubscribe() const { return listUnsubscribe_; }
  void setListUnsubscribe(const QString& NewValue) { listUnsubscribe_ = NewValue.trimmed(); }
  QString POP3Host() const { return pop3Host_; }
  void setPOP3Host(const QString& NewValue);
  QString SMTPHost() const { return smtpHost_; }
  void setSMTPHost(const QString& NewValue);
  int SMTPHostValidation() const { return hostValidation_; }
  void setSMTPHostValidation(int NewValue);
  int SmtpPort() const { return smtpPort_; }
  void setSmtpPort(int NewValue);
  // 0 no TLS, 1 STARTTLS when the server offers it, 2 STARTTLS required, 3 TLS from
  // the first byte (port 465).
  int SecureConnection() const { return secureConnection_; }
  void setSecureConnection(int NewValue);
  QString Subject() const { return subject_; }
  void setSubject(const QString& NewValue) { subject_ = NewValue; }
  bool UseAuthentication() const { return useAuth_; }
  void setUseAuthentication(bool NewValue);
  bool UsePopAuthentication() const { return usePopAuth_; }
  void setUsePopAuthentication(bool NewValue);
  QString UserName() const { return userName_; }
  void setUserName(const QString& NewValue);

  // The priority word that goes with Priority 1, 3, 5 ("High", "Normal", "Low").
  QString priorityWord() const { return priorityWord_; }
  // The error list as it stands (texts in the order they were added).
  QStringList pendingErrors() const { return errors_.entries(); }
  // The server's reply that accepted the last message Send delivered.
  QString acceptedReply() const;

  // How the last failed Send or Connect failed. Temporary: a 4xx reply (421, 450, 452 …),
  // a refused or lost connection, a time-out: the same message may go later. Permanent: a
  // 5xx reply, a refused login, a message the engine refuses. Reset by every Send/Connect.
  int lastReplyCode() const { return lastReplyCode_; }
  bool lastFailureTemporary() const { return lastFailureTemporary_; }
  // The failure came before the server greeted (no connection, or a 4xx/5xx greeting):
  // another exchanger of the same domain may still take the message.
  bool lastFailureAtConnect() const { return lastFailureAtConnect_; }

  // Delivery to a domain's mail exchanger (port 25, no login): TLS when offered without a
  // verified certificate, plain text again when the handshake itself fails (RFC 7435). Off:
  // certificates are verified strictly, as for a configured server.
  bool opportunisticTls() const { return opportunisticTls_; }
  void setOpportunisticTls(bool on) { opportunisticTls_ = on; }

  // Between Connect and Disconnect, lets Send return once the message's final "." is
  // written: the next message's envelope follows at once (RFC 2920), and each message's
  // outcome (SendSuccesful or SendFailed, in the order of the Sends) is raised when its
  // reply arrives, during a later Send, Flush or Disconnect. Only with PIPELINING.
  bool pipelineMessages() const { return pipelineMessages_; }
  void setPipelineMessages(bool on) { pipelineMessages_ = on; }
  // Waits for the replies still due to messages already written; false when one of the
  // messages written without waiting since Connect or the last Flush was refused.
  bool Flush();
  // Recipients of the last message that a server deferred (452) and then refused in a
  // transaction of their own: the message went to the others and counts as sent.
  QStringList undeliveredRecipients() const { return undelivered_; }
  // The last lines of the last session (commands and replies, passwords as "***").
  QStringList lastExchange() const;
  // The text of the message the last Send delivered, as it went after DATA but without the
  // dot-stuffing (CR LF lines): what a copy of what the recipients got must hold. Empty when
  // that Send failed; kept only while keepLastMessage is on (a message may be large).
  bool keepLastMessage() const { return keepLastMessage_; }
  void setKeepLastMessage(bool on) { keepLastMessage_ = on, lastMessage_.clear(); }
  QByteArray lastMessage() const { return lastMessage_; }

  // POP3 before SMTP: the port (110, or 995 with TLS from the first byte) and security
  // as SecureConnection (1: STLS when the server has it; 3: TLS from the first byte).
  int Pop3Port() const { return pop3Port_; }
  void setPop3Port(int NewValue);
  // Sign-in with an OAuth 2.0 access token (with UseAuthentication and UserName) instead of
  // the password; empty: the password. Never stored.
  QString OAuthToken() const { return oauthToken_; }
  void setOAuthToken(const QString& token) { oauthToken_ = token; }
  int Pop3Security() const { return pop3Security_; }
  void setPop3Security(int NewValue);

  Q_INVOKABLE bool Connect();
  Q_INVOKABLE void Disconnect();
  Q_INVOKABLE QString GetContentType(const QString& strFile, const QString& strDefault = {}) const;
  Q_INVOKABLE QString GetIPAddress(const QString& sHostName) const;
  Q_INVOKABLE QString GetIPHost() const;
  Q_INVOKABLE bool IsValidEmailAddress(const QString& AddressString) const;
  Q_INVOKABLE QString MXQuery(const QString& IPDomain = {});
  bool Ping(QString& Address, QString& RoundTripTime, QString& DataSize, bool& DataMatch) const;
  Q_INVOKABLE void Send();
  Q_INVOKABLE void Shutdown() {}
  Q_INVOKABLE QString DecodeBase64String(const QString& str2Decode) const;

 signals:
  void SendSuccesful();
  void SendFailed(const QString& Explanation);
  // The message's end is about to go: from here on the server may have taken it, whatever
  // happens to this process. A slot that records that must finish before it returns.
  void DataEnding();
  void Status(const QString& Status);
  void Progress(int PercentComplete);

 private:
  class Busy;

  QString joined(const QStringList& list) const { return list.join(delimiter_); }
  QStringList splitList(const QString& value) const;
  QStringList cleanList(const QString& value) const;
  void checkAddressList(const QStringList& entries, const QString& errorText);
  void persist(const QString& key, const QString& value) const;
  void loadSettings();
  void assignHost(QString value, QString& target, const char* key, const QString& errorText);

  bool validateMessage();
  mail::MimeInput messageInput();
  mail::SessionParams sessionParams() const;
  bool openSession();
  bool deliver(mail::MimeInput& input);
  // Raises SendFailed with the error list; a server failure also ends the session, a
  // message's own fault (a bad address) leaves a kept one open for the next message.
  void reportFailure(bool closeSession = true);
  void chooseBodyEncoding(mail::MimeInput& input) const;
  bool transaction(mail::MimeInput& input, const QStringList& recipients, bool smtpUtf8);
  bool pipelining() const;
  bool flushOutstanding();
  bool awaitOutstanding();
  void refuseMessage(const QString& text);
  QString heloName() const;
  void messageDone(bool accepted, const QString& reply);
  void resetFailure();
  void noteFailure(int code, bool temporary, bool atConnect);

  mail::ErrorList errors_;
  mail::SmtpDialogue* dialogue_;
  bool busy_ = false;
  int lastReplyCode_ = 0;
  bool lastFailureTemporary_ = false;
  bool lastFailureAtConnect_ = false;
  bool opportunisticTls_ = false;
  bool pipelineMessages_ = false;
  bool flushing_ = false;
  bool later_ = false;  // a transaction after the first of one message
  QStringList undelivered_;
  QString undeliveredExplanation_;
  int pipelinedFailures_ = 0;
  int pop3Port_ = 110;
  QString oauthToken_;
  int pop3Security_ = 1;
  bool keepConnection_ = false;
  bool keepLastMessage_ = false;
  QByteArray lastMessage_;

  bool asHtml_ = false;
  QStringList attachmentPaths_;
  QStringList attachmentNames_;
  QStringList to_, toNames_, cc_, ccNames_, bcc_;
  int connectRetry_ = 4;
  int connectTimeout_ = 40;
  QString contentBase_;
  QString delimiter_ = QStringLiteral(";");
  int emailValidation_ = 1;
  int encodeType_ = 0;
  QString from_;
  QString fromDisplayName_;
  int maxRecipients_ = 100;
  QString body_;
  QString bodySource_;  // as assigned: quoted-printable is made from it
  int messageTimeout_ = 60;
  QString password_;
  bool persistent_ = false;
  int priority_ = 3;
  QString priorityWord_;
  bool receipt_ = false;
  QString replyTo_;
  QString listUnsubscribe_;
  QString pop3Host_;
  QString smtpHost_;
  int hostValidation_ = 3;
  int smtpPort_ = 25;
  int secureConnection_ = 1;
  QString subject_;
  bool useAuth_ = false;
  bool usePopAuth_ = false;
  QString userName_;
  QString zoneOffset_;
};

}  // namespace mail
