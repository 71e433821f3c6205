// The run's calls into the engine: its settings as every route of the composer sets them,
// one Send or Connect with its events, and the configured server's message.
#include "composer/MailFormat.h"
#include "composer/PriloziZapisa.h"
#include "composer/RacunSlanja.h"
#include "composer/TijekSlanja.h"
#include "mail/HtmlText.h"
#include "mail/clsSendMail.h"

namespace composer {

namespace {

// A call that ended without either event (a refusal before the dialogue) is a failure
// too, with what the engine has pending.
QString neprijavljeniRazlog(const mail::clsSendMail& m) {
  const QString razlog = m.pendingErrors().join(QStringLiteral("\r\n"));
  return razlog.isEmpty() ? QStringLiteral("Poslužitelj nije potvrdio primitak poruke.") : razlog;
}

}  // namespace

// The engine's checks, the server and the sender. The account (port, security, login)
// only for the configured server: exchangers get none.
bool TijekSlanja::pripremiMotor(const QString& host, bool posluzitelj) {
  m_.setSMTPHostValidation(3);
  m_.setEmailAddressValidation(1);
  m_.setDelimiter(QStringLiteral(";"));
  m_.setSMTPHost(host);
  m_.setFrom(p_.od);
  m_.setFromDisplayName(p_.imeOd);
  QString razlog;
  if (primijeniRacun(m_, posluzitelj, &razlog)) return true;
  prijaviNeuspjeh(razlog);
  return false;
}

void TijekSlanja::postaviPoruku(const QString& predmet) {
  m_.setReplyToAddress(p_.od);
  m_.setSubject(predmet);
  m_.setAttachment(prilozi());
  m_.setContentBase(QString());
  m_.setPriority(0);
  m_.setReceipt(false);
  m_.setListUnsubscribe(rs_ ? p_.odjava : QString());  // offers go by records, never single mail
}

// The body in the chosen format: the document's HTML, or its text (no images travel then).
void TijekSlanja::postaviTijelo() {
  m_.setAsHTML(p_.uHtmlu);
  m_.setEncodeType(p_.uHtmlu ? 0 : MailFormatEncode);
  m_.setMessage(p_.uHtmlu ? tijelo() : mail::htmlToPlainText(tijelo()));
}

// The typed attachments (a record's own with its fields filled in), then the body's images.
QString TijekSlanja::prilozi() const {
  const QString a = rs_ ? priloziZapisa(p_.prilozi, *rs_).join(QLatin1Char(';')) : p_.prilozi.trimmed();
  if (!p_.uHtmlu || p_.slike.trimmed().isEmpty()) return a;
  return a.isEmpty() ? p_.slike : a + QLatin1Char(';') + p_.slike;
}

// The engine's failure is reported once it has returned: a modal box opened inside its
// socket handling would serve the window's events in the middle of the dialogue.
void TijekSlanja::pozoviMotor(const std::function<void()>& poziv) {
  uspjeh_ = neuspio_ = false;
  prikupljeno_.clear();
  uMotoru_ = true;
  poziv();
  uMotoru_ = false;
  emit motorSlobodan();
  privremeno_ = m_.lastFailureTemporary();
}

void TijekSlanja::naNeuspjeh(const QString& objasnjenje) {
  neuspio_ = true;
  if (!uMotoru_) return prijaviNeuspjeh(objasnjenje);
  prikupljeno_ += (prikupljeno_.isEmpty() ? QString() : QStringLiteral("\r\n")) + objasnjenje;
}

// Logged always; shown unless the run goes on past it or the record waits for a retry.
void TijekSlanja::prijaviNeuspjeh(const QString& objasnjenje) {
  zabilježiOdgovor(objasnjenje.trimmed());
  if (tihi_ || (odgodivo_ && privremeno_)) return;
  emit neuspjeh(objasnjenje);
}

QString TijekSlanja::razlogNeuspjeha() const { return neuspio_ ? prikupljeno_ : neprijavljeniRazlog(m_); }

// One Send; true only after SendSuccesful.
bool TijekSlanja::posaljiJednu() {
  pozoviMotor([this] { m_.Send(); });
  if (uspjeh_ && !neuspio_) return zabilježiOdgovor(m_.acceptedReply()), true;
  prijaviNeuspjeh(razlogNeuspjeha());
  return false;
}

bool TijekSlanja::spojiSe() {
  bool spojen = false;
  pozoviMotor([&] { spojen = m_.Connect(); });
  if (spojen) return true;
  prijaviNeuspjeh(razlogNeuspjeha());
  return false;
}

bool TijekSlanja::posaljiPosluzitelju(const QString& to, const QString& cc, const QString& bcc) {
  m_.setRecipient(to);
  m_.setCcRecipient(cc);
  m_.setBccRecipient(bcc);
  // No name may stay from a customer of an earlier record run.
  m_.setRecipientDisplayName(QString());
  m_.setCcDisplayName(QString());
  postaviPoruku(predmet());
  postaviTijelo();
  return posaljiJednu();
}

}  // namespace composer
