#include "composer/KopijeUPoslanom.h"

#include <QBuffer>

#include "composer/DnevnikSlanja.h"
#include "mail/BodyPreparation.h"
#include "mail/ImapAppend.h"
#include "mail/MimeBuilder.h"
#include "mail/clsSendMail.h"

namespace composer {

KopijeUPoslanom::KopijeUPoslanom(mail::clsSendMail& motor, QObject* parent) : QObject(parent), m_(motor) {
  // The first message of an attempt is the customer's: direct delivery mails the domains of
  // the copies (CC, BCC) after the recipient's own.
  connect(&m_, &mail::clsSendMail::SendSuccesful, this, [this] {
    if (uzmi_ && prihvacena_.isEmpty()) prihvacena_ = m_.lastMessage();
  });
}

void KopijeUPoslanom::pocni(bool uzmi, bool zapisi) {
  racun_ = CitajRacunPoslano();
  uzmi_ = uzmi && racun_.ukljuceno;
  zapisi_ = zapisi;
  prihvacena_.clear();
  kopije_.clear();
  spremnik_.reset();
  napomena_.clear();
  // A summary lists the addresses: the messages themselves are not needed.
  m_.setKeepLastMessage(uzmi_ && !(zapisi && racun_.jednaKopija));
}

void KopijeUPoslanom::zabilježi(bool poslano, const QString& ime, const QString& adrese) {
  const QByteArray poruka = std::exchange(prihvacena_, QByteArray());
  if (!uzmi_ || !poslano) return;
  Kopija k{0, 0, QDateTime::currentDateTime(), ime, adrese};
  if (m_.keepLastMessage() && !poruka.isEmpty()) {
    if (!spremnik_) {
      spremnik_ = std::make_unique<QTemporaryFile>();
      if (!spremnik_->open()) napomena_ = spremnik_->errorString();
    }
    k.pocetak = spremnik_->size();
    k.duljina = spremnik_->write(poruka) == poruka.size() ? poruka.size() : 0;
  }
  kopije_ << k;
}

QString KopijeUPoslanom::spremi(DnevnikSlanja& dnevnik, const QString& predmet, const QString& od,
                                const QString& imeOd) {
  m_.setKeepLastMessage(false);
  const QString greskaSpremnika = std::exchange(napomena_, QString());
  if (!uzmi_ || kopije_.isEmpty()) return {};
  const bool sazeto = zapisi_ && racun_.jednaKopija;
  const int ukupno = sazeto ? 1 : int(kopije_.size());
  int spremljeno = 0;
  QString razlog = greskaSpremnika;
  mail::ImapParams p;
  p.connectTimeout = m_.ConnectTimeout();  // as the run's own server gets them
  p.timeout = m_.MessageTimeout();
  mail::ImapAppend imap;
  QStringList razmjena;
  if (razlog.isEmpty() && prijavaPoslano(racun_, &p, &razlog)) {
    emit najava(QStringLiteral("Spremanje kopija u mapu Poslano (%1)...").arg(ukupno));
    if (imap.open(p)) {
      if (sazeto) {
        spremljeno += imap.append(sazetak(predmet, od, imeOd), QDateTime::currentDateTime());
      } else {
        for (const Kopija& k : std::as_const(kopije_)) {
          spremnik_->seek(k.pocetak);
          const QByteArray poruka = k.duljina > 0 ? spremnik_->read(k.duljina) : QByteArray();
          if (poruka.size() == k.duljina && k.duljina > 0 && imap.append(poruka, k.vrijeme)) ++spremljeno;
          else if (razlog.isEmpty())
            razlog = poruka.isEmpty() ? QStringLiteral("kopija poruke nije sačuvana") : imap.error();
          if (!imap.isOpen()) break;  // the server hung up: the rest cannot go
        }
      }
      if (spremljeno < ukupno && razlog.isEmpty()) razlog = imap.error();
      imap.close();
    } else {
      razlog = imap.error();
    }
    razmjena = spremljeno < ukupno ? imap.lastExchange() : QStringList();
  }
  spremnik_.reset();
  kopije_.clear();
  const QString mjesto =
      QStringLiteral("IMAP ") + p.host + QLatin1Char('/') + (imap.mailbox().isEmpty() ? p.mailbox : imap.mailbox());
  if (spremljeno == ukupno) {
    dnevnik.dodaj({QDateTime::currentDateTime(),
                   mjesto,
                   QStringLiteral("Kopije u mapi Poslano"),
                   true,
                   QStringLiteral("Spremljeno %1 od %2.").arg(spremljeno).arg(ukupno),
                   false,
                   {}});
    return {};
  }
  razlog = razlog.trimmed();
  if (razlog.endsWith(QLatin1Char('.'))) razlog.chop(1);
  dnevnik.dodaj({QDateTime::currentDateTime(), mjesto, QStringLiteral("Kopije u mapi Poslano"), false,
                 QStringLiteral("Spremljeno %1 od %2: %3").arg(spremljeno).arg(ukupno).arg(razlog), false, razmjena});
  napomena_ = spremljeno == 0 ? QStringLiteral("Kopije u mapi Poslano nisu spremljene: %1.").arg(razlog)
                              : QStringLiteral("Kopije u mapi Poslano nisu sve spremljene (%1 od %2): %3.")
                                    .arg(spremljeno)
                                    .arg(ukupno)
                                    .arg(razlog);
  return napomena_;
}

// One message for the whole record run: to the sender, the addresses that got it.
QByteArray KopijeUPoslanom::sazetak(const QString& predmet, const QString& od, const QString& imeOd) const {
  QString tekst = QStringLiteral("Poruka \"%1\" poslana je na %2 adresa:\r\n\r\n").arg(predmet).arg(kopije_.size());
  for (const Kopija& k : kopije_)
    tekst += k.vrijeme.toString(QStringLiteral("dd.MM.yyyy. HH:mm:ss  ")) +
             (k.ime.isEmpty() ? k.adrese : k.ime + QStringLiteral(" <") + k.adrese + QLatin1Char('>')) +
             QStringLiteral("\r\n");
  mail::MimeInput in;
  in.from = od;
  in.fromDisplayName = imeOd;
  in.recipients = {od};
  in.recipientDisplayNames = {imeOd};
  in.subject = QStringLiteral("Poslano: ") + predmet;
  in.sourceBody = tekst;
  in.body = mail::prepareBody(tekst, false).text;
  mail::chooseTransferEncoding(in, false);
  QBuffer b;
  b.open(QIODevice::WriteOnly);
  return mail::writeMessage(in, b) ? b.data() : QByteArray();
}

}  // namespace composer
