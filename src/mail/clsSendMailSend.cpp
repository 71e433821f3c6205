// Connect, Send and Disconnect of the session object: the checks before any network
// activity, the envelope and data phase, and the one way failures are reported.
#include <QUrl>
#include <QtGlobal>
#include <exception>

#include "core/SettingsStore.h"
#include "mail/EmbeddedFiles.h"
#include "mail/HostLookup.h"
#include "mail/InternationalAddress.h"
#include "mail/SmtpCapabilities.h"
#include "mail/SmtpDialogue.h"
#include "mail/Validation.h"
#include "mail/clsSendMail.h"

namespace mail {

namespace {

const QString kBadFrom = QStringLiteral("Pogrešna ili nedostaje E-mail adresa pošiljatelja");
const QString kBadSmtpHost = QStringLiteral("Pogrešan ili nedostaje SMTP Host Name");

// Hands the message lines to the dialogue as the builder makes them; with `copy`, also the
// lines as the recipient reads them, the SMTP transparency dot taken off again.
class DialogueSink : public mail::MimeSink {
 public:
  DialogueSink(mail::SmtpDialogue& dialogue, std::function<void(const QString&)> status, QByteArray* copy)
      : dialogue_(dialogue), status_(std::move(status)), copy_(copy) {}
  bool writeLines(QByteArrayView lines) override {
    if (copy_) {
      for (qsizetype from = 0; from < lines.size();) {
        const qsizetype end = lines.indexOf(QByteArrayView("\r\n"), from);
        const qsizetype next = end < 0 ? lines.size() : end + 2;
        const qsizetype start = lines[from] == '.' ? from + 1 : from;
        copy_->append(lines.sliced(start, next - start));
        from = next;
      }
    }
    return dialogue_.write(lines);
  }
  bool attachmentWritten() override { return dialogue_.settle(); }
  void status(const QString& text) override { status_(text); }

 private:
  mail::SmtpDialogue& dialogue_;
  std::function<void(const QString&)> status_;
  QByteArray* copy_;
};

}  // namespace

// Marks an operation in progress; a second one started from a signal handler is refused.
class clsSendMail::Busy {
 public:
  explicit Busy(clsSendMail& owner) : owner_(owner), refused_(owner.busy_) {
    if (refused_) {
      qWarning("clsSendMail: Send, Connect or Disconnect called while one is running");
      return;
    }
    owner_.busy_ = true;
    owner_.dialogue_->setActive(true);
  }
  ~Busy() {
    if (refused_) return;
    owner_.dialogue_->setActive(false);
    owner_.busy_ = false;
  }
  bool refused() const { return refused_; }

 private:
  clsSendMail& owner_;
  bool refused_;
};

void clsSendMail::resetFailure() { noteFailure(0, false, false); }

void clsSendMail::noteFailure(int code, bool temporary, bool atConnect) {
  lastReplyCode_ = code;
  lastFailureTemporary_ = temporary;
  lastFailureAtConnect_ = atConnect;
}

// A session failure takes its kind from the dialogue; a message's own fault is permanent.
// While Flush waits there is no message of its own to fail: the messages still due
// have had their outcomes.
void clsSendMail::reportFailure(bool closeSession) {
  const mail::FailureKind kind = closeSession ? dialogue_->failureKind() : mail::FailureKind{};
  noteFailure(kind.replyCode, kind.temporary, kind.atConnect);
  const QString explanation = errors_.take();
  // A later transaction of a message the server took already: the message went, to fewer
  // recipients (undeliveredRecipients); failing it would have it sent again to all.
  if (later_) undeliveredExplanation_ = explanation;
  else if (!flushing_) emit SendFailed(explanation);
  if (!closeSession) return;
  if (dialogue_->state() != 0) dialogue_->close();
  dialogue_->setAbort();
  // Whatever closing the session added belongs to this failure, not the next Send.
  errors_.take();
}

mail::SessionParams clsSendMail::sessionParams() const {
  mail::SessionParams p;
  p.smtpHost = smtpHost_;
  p.smtpPort = smtpPort_;
  p.pop3Host = pop3Host_;
  p.usePopAuthentication = usePopAuth_;
  p.useAuthentication = useAuth_;
  p.userName = userName_;
  p.password = password_;
  p.bearerToken = oauthToken_;
  p.heloName = heloName();
  p.pop3Port = pop3Port_;
  p.pop3Security = pop3Security_;
  p.opportunisticTls = opportunisticTls_;
  if (opportunisticTls_) {
    // An exchanger: port 25, no login of any kind, whatever the stored settings say.
    p.smtpPort = 25;
    p.useAuthentication = p.usePopAuthentication = false;
    p.secureConnection = mail::kSecureOptional;
  }
  p.secureConnection = secureConnection_;
  p.connectRetry = connectRetry_;
  p.connectTimeout = connectTimeout_;
  p.messageTimeout = messageTimeout_;
  return p;
}

// A stored HeloName, else the sender's domain: what a server that checks HELO accepts.
QString clsSendMail::heloName() const {
  const QString stored =
      core::GetSetting(QStringLiteral("Kestrova"), QStringLiteral("Settings"), QStringLiteral("HeloName"), {});
  return stored.trimmed().isEmpty() ? mail::aceDomainOf(from_) : QString::fromLatin1(QUrl::toAce(stored.trimmed()));
}

bool clsSendMail::openSession() {
  if (dialogue_->state() == 7) return true;
  if (dialogue_->state() != 0) dialogue_->close();
  if (smtpHost_.isEmpty()) {
    // No host: the mail exchanger of this machine's own domain.
    smtpHost_ = MXQuery();
    if (smtpHost_.isEmpty()) {
      errors_.add(kBadSmtpHost);
      reportFailure();
      return false;
    }
  }
  try {
    return dialogue_->open(sessionParams());
  } catch (const std::exception& e) {
    const QString text = QStringLiteral("Connect error: ") + QString::fromLocal8Bit(e.what());
    emit Status(text);
    errors_.add(text);
    reportFailure();
    return false;
  }
}

bool clsSendMail::Connect() {
  Busy busy(*this);
  if (busy.refused()) return false;
  resetFailure();
  pipelinedFailures_ = 0;
  keepConnection_ = true;
  dialogue_->clearAbort();
  dialogue_->noticeIdleClose();
  return openSession();
}

void clsSendMail::Disconnect() {
  Busy busy(*this);
  if (busy.refused()) return;
  keepConnection_ = false;
  if (dialogue_->outstanding() > 0) flushOutstanding();
  dialogue_->close();
}

bool clsSendMail::Flush() {
  Busy busy(*this);
  if (busy.refused()) return false;
  return flushOutstanding();
}

// The outcomes still due, raised before anything else is: a failure of the session meanwhile
// belongs to them, not to a message of its own.
bool clsSendMail::awaitOutstanding() {
  if (dialogue_->outstanding() == 0) return true;
  flushing_ = true;
  const bool ok = dialogue_->flush();
  flushing_ = false;
  return ok;
}

bool clsSendMail::flushOutstanding() {
  const bool ok = awaitOutstanding();
  const bool allAccepted = ok && pipelinedFailures_ == 0;
  pipelinedFailures_ = 0;
  return allAccepted;
}

// The final reply to a message written without waiting for it.
void clsSendMail::messageDone(bool accepted, const QString& reply) {
  if (accepted) {
    noteFailure(0, false, false);
    emit SendSuccesful();
    return;
  }
  ++pipelinedFailures_;
  const int code = mail::replyCode(reply.toUtf8());
  noteFailure(code, code / 100 != 5, false);
  emit SendFailed(reply.endsWith(QLatin1String("\r\n")) ? reply : reply + QStringLiteral("\r\n"));
}

QStringList clsSendMail::lastExchange() const { return dialogue_->lastExchange(); }

QString clsSendMail::acceptedReply() const { return dialogue_->acceptedReply(); }

bool clsSendMail::validateMessage() {
  if (from_.isEmpty()) errors_.add(kBadFrom);
  if (asHtml_ && encodeType_ == 1) errors_.add(QStringLiteral("Slanje HTML poruke zahtijeva MIME encoding"));
  const qsizetype total = to_.size() + cc_.size() + bcc_.size();
  if (total == 0) errors_.add(QStringLiteral("Nije unesena E-mail adresa primatelja"));
  if (total > maxRecipients_) errors_.add(QStringLiteral("Previše primatelja"));
  // Every address gets a display-name entry, possibly empty.
  toNames_.resize(to_.size());
  ccNames_.resize(cc_.size());
  if (!replyTo_.isEmpty() && !mail::isSafeAddress(replyTo_))
    errors_.add(QStringLiteral("Pogrešna Reply-To E-mail adresa"));
  if (!listUnsubscribe_.isEmpty() && !mail::isSafeAddress(listUnsubscribe_))
    errors_.add(QStringLiteral("Pogrešna adresa za odjavu"));
  if (errors_.isEmpty()) return true;
  // Outcomes come in the order of the Sends: those still due first.
  awaitOutstanding();
  // The message is at fault, not the server: a kept session stays for the next one.
  reportFailure(false);
  return false;
}

mail::MimeInput clsSendMail::messageInput() {
  mail::MimeInput in;
  in.from = mail::withAceDomain(from_);
  in.fromDisplayName = fromDisplayName_;
  in.recipients = mail::withAceDomains(to_);
  in.recipientDisplayNames = toNames_;
  in.ccRecipients = mail::withAceDomains(cc_);
  in.ccDisplayNames = ccNames_;
  in.bccRecipients = mail::withAceDomains(bcc_);
  in.subject = subject_;
  in.replyTo = replyTo_;
  in.listUnsubscribe = mail::withAceDomain(listUnsubscribe_);
  in.body = body_;
  in.sourceBody = bodySource_;
  in.asHtml = asHtml_;
  in.contentBase = contentBase_;
  in.encodeType = encodeType_;
  in.priority = priority_;
  in.priorityWord = priorityWord_;
  in.receipt = receipt_;
  in.zoneOffset = zoneOffset_;
  for (qsizetype i = 0; i < attachmentPaths_.size(); ++i)
    in.attachments.append({attachmentPaths_.at(i), attachmentNames_.value(i), false});
  if (asHtml_ && !in.attachments.isEmpty()) {
    QList<mail::MimeAttachment> again = in.attachments;
    mail::embedFiles(in.sourceBody, again);
    in.related = mail::embedFiles(in.body, in.attachments);
  }
  return in;
}

void clsSendMail::Send() {
  Busy busy(*this);
  if (busy.refused()) return;
  resetFailure();
  lastMessage_.clear();
  if (!validateMessage()) return;
  mail::MimeInput input = messageInput();
  dialogue_->clearAbort();
  dialogue_->noticeIdleClose();
  if (dialogue_->state() != 7 && !openSession()) return;
  if (!deliver(input)) {
    lastMessage_.clear();
    return;
  }
  if (pipelining()) return;  // its outcome comes with its reply
  emit Progress(100);
  emit Status(QStringLiteral("Transmission Complete..."));
  if (!keepConnection_) dialogue_->close();
  emit SendSuccesful();
}

bool clsSendMail::pipelining() const {
  return pipelineMessages_ && keepConnection_ && dialogue_->capabilities().pipelining;
}

// The message before a server that cannot take it: nothing of it is sent.
void clsSendMail::refuseMessage(const QString& text) {
  awaitOutstanding();
  errors_.add(text);
  reportFailure(false);
  if (!keepConnection_) dialogue_->close();
}

bool clsSendMail::deliver(mail::MimeInput& input) {
  dialogue_->startProgress(mail::estimateSize(input, {useAuth_, userName_, password_}));
  // The envelope comes from the snapshot: a handler may change the properties while
  // this message is on its way.
  QStringList recipients = input.recipients + input.ccRecipients + input.bccRecipients;
  const QString international = mail::firstUtf8LocalPart(recipients + QStringList{input.from});
  const bool smtpUtf8 = !international.isEmpty();
  if (smtpUtf8 && !dialogue_->capabilities().smtpUtf8) {
    refuseMessage(QStringLiteral("Poslužitelj ne prima adrese s međunarodnim znakovima (SMTPUTF8): ") + international);
    return false;
  }
  chooseBodyEncoding(input);
  // The Message-ID names the sender's domain (the builder's default), not this machine.
  // Recipients a server defers with 452 get the same message in a transaction of their own.
  undelivered_.clear();
  for (bool first = true; !recipients.isEmpty(); first = false) {
    later_ = !first;
    const bool went = transaction(input, recipients, smtpUtf8);
    later_ = false;
    if (!went && first) return false;
    if (!went) {
      undelivered_ = recipients;
      emit Status(QStringLiteral("Not delivered to: ") + recipients.join(QStringLiteral(", ")) + QStringLiteral(" (") +
                  undeliveredExplanation_.trimmed() + QLatin1Char(')'));
      return true;
    }
    recipients = dialogue_->deferredRecipients();
  }
  return true;
}

bool clsSendMail::transaction(mail::MimeInput& input, const QStringList& recipients, bool smtpUtf8) {
  if (!dialogue_->envelope(input.from, recipients, smtpUtf8)) return false;
  // A later transaction sends the same message again: the copy is the first one's.
  DialogueSink sink(
      *dialogue_, [this](const QString& text) { emit Status(text); },
      keepLastMessage_ && !later_ ? &lastMessage_ : nullptr);
  mail::MimeBuilder builder;
  if (!builder.write(input, sink)) {
    if (!dialogue_->aborted()) {
      errors_.add(builder.errorText());
      reportFailure();
    }
    return false;
  }
  const bool last = dialogue_->deferredRecipients().isEmpty();
  if (!dialogue_->drain()) return false;
  emit DataEnding();
  return dialogue_->endData(!(last && pipelining()));
}

// 8-bit text only to a server that takes it (RFC 6152); a line longer than SMTP allows
// would be cut: both go quoted-printable, so the text arrives as written.
void clsSendMail::chooseBodyEncoding(mail::MimeInput& input) const {
  mail::chooseTransferEncoding(input, dialogue_->capabilities().eightBitMime);
}

}  // namespace mail
