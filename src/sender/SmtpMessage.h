#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace sender {

// The message object of the direct SMTP route's mail library: a plain-text message,
// its recipients and its file attachments. Every call records whether it succeeded
// (lastMethodSuccess) and, when it did not, why (lastErrorText).
class SmtpMessage {
 public:
  struct Recipient {
    QString name;
    QString address;
  };
  struct Attachment {
    QString path;
    QString fileName;     // as shown in the message
    QString contentType;  // from the file's extension
  };

  void setSubject(const QString& subject) {
    subject_ = subject;
    ok();
  }
  void setBody(const QString& body) {
    body_ = body;
    ok();
  }
  void setFrom(const QString& from) {
    from_ = from;
    ok();
  }

  // Blanks around an address are dropped and an empty one is ignored. An address that
  // could break a command line is refused here and makes the send fail.
  void addTo(const QString& name, const QString& address) { add(to_, name, address); }
  void addCC(const QString& name, const QString& address) { add(cc_, name, address); }
  void addBCC(const QString& name, const QString& address) { add(bcc_, name, address); }

  // The content type given to the file; empty (with lastErrorText) when the file
  // cannot be read.
  QString addFileAttachment(const QString& path);

  bool lastMethodSuccess() const { return success_; }
  QString lastErrorText() const { return error_; }

  const QString& subject() const { return subject_; }
  const QString& body() const { return body_; }
  const QString& from() const { return from_; }
  const QList<Recipient>& to() const { return to_; }
  const QList<Recipient>& cc() const { return cc_; }
  const QList<Recipient>& bcc() const { return bcc_; }
  const QList<Attachment>& attachments() const { return attachments_; }
  const QStringList& refusedAddresses() const { return refused_; }

 private:
  void add(QList<Recipient>& list, const QString& name, const QString& address);
  void ok() {
    success_ = true;
    error_.clear();
  }

  QString subject_, body_, from_;
  QList<Recipient> to_, cc_, bcc_;
  QList<Attachment> attachments_;
  QStringList refused_;
  bool success_ = true;
  QString error_;
};

}  // namespace sender
