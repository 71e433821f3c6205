// The composer's send run: the checks, the message's body and images, the configured
// server's run (one message, or one per record over one session) and the engine's events.
#include <QApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <exception>

#include "composer/HtmlEditor.h"
#include "composer/LokalneSlike.h"
#include "composer/MailFormat.h"
#include "composer/PlanDostave.h"
#include "composer/PoljaZapisa.h"
#include "composer/PostavkeComposera.h"
#include "composer/RacunSlanja.h"
#include "composer/frmMain.h"
#include "core/Pomocne.h"
#include "mail/HtmlText.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "ui_frmMain.h"

namespace {

const QString kNaslov = QStringLiteral("Slanje E-mail-a");
const QString kPogrešanPošiljatelj = QStringLiteral(
    "Pogrešna adresa tko šalje e-mail. Upišite informacije o pošiljatelju u Pogled->Postavke");

// The hourglass is one override however often it is asked for.
void pješčanik(bool uključen) {
  static bool aktivan = false;
  if (uključen == aktivan) return;
  aktivan = uključen;
  if (uključen)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void okvir(QWidget* w, const QString& tekst, platform::MsgIcon ikona, const QString& naslov) {
  platform::dialogs().messageBox(w, tekst, platform::MsgButtons::Ok, ikona, naslov);
}

// Text of whatever a run may throw.
QString opisGreške(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return QString::fromUtf8(x.what());
  } catch (...) {
    return QStringLiteral("Nepoznata greška.");
  }
}

}  // namespace

void frmMain::poveziSlanje() {
  m_odgodaNapretka.setSingleShot(true);
  m_odgodaNapretka.setInterval(50);
  connect(&m_odgodaNapretka, &QTimer::timeout, this, &frmMain::prikažiNapredak);
  m_prikazSlanja = std::make_unique<composer::PrikazSlanja>(
      QList<QWidget*>{ui->lstPoslano, ui->lstNeuspjelo, ui->prbUk, ui->Progress, ui->lblMailProgress,
                      ui->sbStatusBar},
      100);
  // Lines of one height: a list of thousands is not measured line by line at each drawing.
  for (QListWidget* l : {ui->lstPoslano, ui->lstNeuspjelo}) l->setUniformItemSizes(true);
  connect(poSendMail, &clsSendMail::Progress, this, &frmMain::poSendMail_Progress);
  connect(poSendMail, &clsSendMail::SendFailed, this, &frmMain::poSendMail_SendFailed);
  connect(poSendMail, &clsSendMail::SendSuccesful, this, &frmMain::poSendMail_SendSuccesful);
  connect(ui->mnuGenListUClip, &QAction::triggered, this, &frmMain::GenerirajListu);
  poveziListuPrimatelja();
  poveziTijek();
}

void frmMain::cmdSend_Click() {
  try {
    PosaljiPoruke(true);
  } catch (...) {
    okvir(this, opisGreške(std::current_exception()), platform::MsgIcon::Exclamation,
          platform::defaultTitle());
  }
}

void frmMain::cmdPošaljiPrekoRS_Click() {
  const auto provjera = [this](bool uredu, const QString& tekst, QWidget* polje) {
    if (!uredu) {
      okvir(this, tekst, platform::MsgIcon::Information, kNaslov);
      polje->setFocus();
    }
    return uredu;
  };
  if (!provjera(!ui->txtFrom->text().trimmed().isEmpty(), kPogrešanPošiljatelj, ui->txtFrom) ||
      !provjera(ProvjeriEMailAdrese(ui->txtFrom->property("Tag").toString()), kPogrešanPošiljatelj,
                ui->txtFrom) ||
      !provjera(!ui->txtSubject->text().trimmed().isEmpty(), QStringLiteral("Upišite poruku!"),
                ui->txtSubject))
    return;
  try {
    PosaljiPoruke(false);
    NapuniListu();
  } catch (...) {
    okvir(this, opisGreške(std::current_exception()), platform::MsgIcon::Exclamation,
          platform::defaultTitle());
    ui->prbUk->setVisible(false);
  }
  osvježiPreostale();
}

bool frmMain::provjeriPojedinacno() {
  struct Provjera {
    bool pogrešno;
    QString tekst;
    QWidget* polje;
  };
  const QString to = ui->txtTo->text(), cc = ui->txtCC->text(), bcc = ui->txtBCC->text();
  const Provjera provjere[] = {
      {ui->txtFrom->text().trimmed().isEmpty(), kPogrešanPošiljatelj, ui->txtFrom},
      {!ProvjeriEMailAdrese(ui->txtFrom->property("Tag").toString()), kPogrešanPošiljatelj, ui->txtFrom},
      {to.trimmed().isEmpty(), QStringLiteral("Pogrešna adresa kome se šalje: ") + to, ui->txtTo},
      {!ProvjeriEMailAdrese(to), QStringLiteral("Pogrešna adresa kome se šalje: ") + to, ui->txtTo},
      {!cc.trimmed().isEmpty() && !ProvjeriEMailAdrese(cc),
       QStringLiteral("Jedna ili više adresa u 'CC : Email'  je pogrešna: ") + cc, ui->txtCC},
      {!bcc.trimmed().isEmpty() && !ProvjeriEMailAdrese(bcc),
       QStringLiteral("Jedna ili više adresa u 'BCC : Email'  je pogrešna: ") + bcc, ui->txtBCC},
      {ui->txtSubject->text().trimmed().isEmpty(), QStringLiteral("Upišite poruku!"), ui->txtSubject},
  };
  for (const Provjera& p : provjere) {
    if (!p.pogrešno) continue;
    okvir(this, p.tekst, platform::MsgIcon::Information, kNaslov);
    p.polje->setFocus();
    return false;
  }
  return true;
}

void frmMain::PosaljiPoruke(bool bPojedinacno) {
  if (m_uSlanju) return;
  StatusSlanja = 0;
  ui->lblMailProgress->setVisible(false);
  ui->Progress->setVisible(false);
  // The address book joins with ",": the engine and the checks take ";".
  for (QLineEdit* polje : {ui->txtTo, ui->txtCC, ui->txtBCC})
    polje->setText(composer::normaliziraneAdrese(polje->text()));
  if (bPojedinacno && !provjeriPojedinacno()) return;
  if (!pripremiPolja(bPojedinacno)) return;
  // Without the document there is nothing to send: no run sends an empty body.
  if (!EmbeddImage()) return;
  PostaviUSlanju(true);
  // The run walks a cursor of its own over the host's rows (deleting through it deletes
  // there): nothing else the window does can move it.
  platform::RecordSet* domaćin = m_rs;
  std::optional<platform::RecordSet> kursor;
  if (m_rs) kursor = m_rs->Clone(), m_rs = &*kursor;
  // Whatever ends the run, the session is closed, the pointer restored and the window
  // released.
  const auto kraj = qScopeGuard([this, domaćin] {
    m_rs = domaćin;
    poSendMail->Disconnect();
    pješčanik(false);
    PostaviUSlanju(false);
  });
  ui->List1->clear();
  // Read once a run: the store is a file, and the format holds for every message.
  m_uHtmlu = composer::CitajPostavku(QStringLiteral("MAILFORMAT")).isEmpty() || MailFormatHTML;
  pocniTijek(bPojedinacno);
  pješčanik(true);
  const QString smtpip = composer::CitajPostavku(QStringLiteral("SMTPIP"));
  QString host = smtpip.isEmpty() ? QString() : composer::PoljaPostavke(smtpip)[0].trimmed();
  if (host.isEmpty()) host = QStringLiteral("FIND");
  posaljiRutom(bPojedinacno, host);
  if (bPojedinacno) return;
  // Records a server refused for now go again, a few times, before the run ends.
  for (int krug = 0; pripremiPonavljanje(krug); ++krug) posaljiRutom(false, host);
  zaključiZapise();
}

void frmMain::posaljiRutom(bool bPojedinacno, const QString& host) {
  Napredak = 0;
  bPoslano = 0;
  if (ui->chkPrekoOutlooka->isChecked())
    PosaljiPrekoOutlooka(bPojedinacno);
  else if (host.compare(QLatin1String("FIND"), Qt::CaseInsensitive) == 0)
    posaljiIzravno(bPojedinacno);
  else
    posaljiPrekoPosluzitelja(bPojedinacno, host);
}

bool frmMain::EmbeddImage() {
  static const QRegularExpression body(QStringLiteral("<BODY>"),
                                       QRegularExpression::CaseInsensitiveOption);
  bool procitan = false;
  QString html = ui->Editor->documentHtml(&procitan);
  if (!procitan) {
    okvir(this,
          QStringLiteral("Uređivač ne odgovara, pa se poruka ne može pročitati. Slanje nije pokrenuto.\r\n"
                         "Spremite dokument (Datoteka->Spremi): sprema se zadnji pročitani sadržaj."),
          platform::MsgIcon::Exclamation, kNaslov);
    return false;
  }
  html.replace(body, QStringLiteral("<BODY lang=HR>"));
  UgradjeneSlike.clear();
  if (!ui->chkPrekoOutlooka->isChecked()) {
    const composer::SlikeZaSlanje s = composer::pripremiLokalneSlike(
        html, ui->Editor->imageSources(), ui->Editor->documentUrl(), m_privremeni.path());
    // A local file that is no image never travels: the run does not start.
    if (!s.odbijene.isEmpty()) {
      okvir(this, composer::tekstOdbijenihSlika(s.odbijene), platform::MsgIcon::Exclamation, kNaslov);
      return false;
    }
    html = s.html;
    UgradjeneSlike = s.putanje.join(QLatin1Char(';'));
  }
  TijeloPoruke = html;
  return true;
}

// The attachments of a run: the typed ones, then the body's images.
static QString prilozi(const QString& txtAttach, const QString& slike) {
  const QString a = txtAttach.trimmed();
  if (slike.trimmed().isEmpty()) return a;
  return a.isEmpty() ? slike : a + QLatin1Char(';') + slike;
}

// The engine's checks, the server and the sender, as every route of the composer sets them.
// The account (port, security, login) only for the configured server: exchangers get none.
bool frmMain::pripremiMotor(const QString& host, bool posluzitelj) {
  clsSendMail& m = *poSendMail;
  m.setSMTPHostValidation(3);
  m.setEmailAddressValidation(1);
  m.setDelimiter(QStringLiteral(";"));
  m.setSMTPHost(host);
  m.setFrom(ui->txtFrom->property("Tag").toString());
  m.setFromDisplayName(ui->txtFrom->text());
  QString razlog;
  return composer::primijeniRacun(m, posluzitelj, &razlog) || (poSendMail_SendFailed(razlog), false);
}

// Without a stored format the document is HTML, not text to be shown as markup.
bool frmMain::porukaUHtmlu() const { return m_uHtmlu; }

// The body in the chosen format: the document's HTML, or its text (no images travel then).
void frmMain::postaviTijelo(clsSendMail& m) {
  const bool html = porukaUHtmlu();
  m.setAsHTML(html);
  m.setEncodeType(html ? 0 : MailFormatEncode);
  m.setMessage(html ? tijeloPoruke() : mail::htmlToPlainText(tijeloPoruke()));
}

QString frmMain::priloziPoruke() const {
  return porukaUHtmlu() ? prilozi(ui->txtAttach->text(), UgradjeneSlike) : ui->txtAttach->text().trimmed();
}

void frmMain::posaljiPrekoPosluzitelja(bool bPojedinacno, const QString& host) {
  ui->Progress->setMaximum(100);
  ui->Progress->setValue(0);
  clsSendMail& m = *poSendMail;
  // Without the account's password nothing can go: the single run ends, a record run too.
  if (!pripremiMotor(host, true)) return bPojedinacno ? počistiNakonSlanja() : prekiniZapise();
  m.setRecipient(ui->txtTo->text());
  m.setCcRecipient(ui->txtCC->text());
  m.setBccRecipient(ui->txtBCC->text());
  // No name may stay from a customer of an earlier record-set run.
  m.setRecipientDisplayName(QString());
  m.setCcDisplayName(QString());
  m.setReplyToAddress(ui->txtFrom->property("Tag").toString());
  m.setSubject(ui->txtSubject->text());
  m.setAttachment(priloziPoruke());
  m.setReceipt(true);
  m.setContentBase(QString());
  postaviTijelo(m);
  m.setPriority(0);
  m.setReceipt(false);
  if (bPojedinacno) {
    const bool poslano = posaljiJednu();
    zabilježiRazmjenu(poslano ? QStringList() : m.lastExchange());
    dodajUDnevnik(poslano, jednaLinijaDnevnika());
    počistiNakonSlanja();
    return;
  }
  if (!m_rs || m_rs->RecordCount() < 1) return prekiniZapise();
  bPoslano = 0;
  // Every round sends the run's copies, though the boxes are emptied by the first.
  m.setCcRecipient(m_kopije.first);
  m.setBccRecipient(m_kopije.second);
  if (!spojiZaKrug()) return;
  ui->txtBCC->clear();
  ui->txtCC->clear();
  pocniZapise();
  while (!m_rs->Eof() && !SlanjeZaustavljeno()) {
    if (!pripremiPokušaj(true)) continue;
    m.setRecipient(composer::normaliziraneAdrese(composer::tekstPolja(*m_rs, QStringLiteral("EMail"))));
    m.setRecipientDisplayName(composer::tekstPolja(*m_rs, QStringLiteral("Ime")));
    m.setSubject(predmetPoruke());
    postaviTijelo(m);
    const bool poslano = posaljiJednu();
    zabilježiRazmjenu(poslano ? QStringList() : m.lastExchange());
    const QString linija = m.RecipientDisplayName() + QLatin1Char(' ') + m.Recipient();
    const bool odgođen = zabilježiZapis(poslano, m.Recipient(), m.RecipientDisplayName(), odgođenPokušaj());
    if (!poslano) {
      m_prikazSlanja->dodaj(ui->lstNeuspjelo, odgođen ? linija + QStringLiteral(" (odgođeno)") : linija);
      // A record refused for now waits for the next round; a new session takes the next one.
      if (odgođen ? nastaviPoslijeOdgode() : nastaviPoslijeGreške(true)) continue;
      m.Disconnect();
      okvir(this, QStringLiteral("Prekida se slanje poruka!"), platform::MsgIcon::Exclamation,
            platform::defaultTitle());
      return prekiniZapise();
    }
    m_prikazSlanja->dodaj(ui->lstPoslano, linija);
    if (ui->chkBrišiPoslane->isChecked()) m_rs->Delete();
    ui->prbUk->setValue(ui->prbUk->value() + 1);
    m_rs->MoveNext();
  }
  m.Disconnect();
  ui->prbUk->setVisible(false);
}

// The failure box waits until the engine has returned: a modal box opened inside its
// socket handling would serve the window's events in the middle of the dialogue.
void frmMain::pozoviMotor(const std::function<void()>& poziv) {
  StatusSlanja = 0;
  m_neuspjeh.clear();
  m_uMotoru = true;
  poziv();
  m_uMotoru = false;
  if (m_pitajZaustaviti) pitajZaustaviti();
  postaviPrivremeno(poSendMail->lastFailureTemporary());
  if (StatusSlanja == 2) poSendMail_SendFailed(m_neuspjeh);
}

// A call that ended without either event (a refusal before the dialogue) is a failure
// too, with what the engine has pending.
static QString neprijavljeniRazlog(const clsSendMail& m) {
  const QString razlog = m.pendingErrors().join(QStringLiteral("\r\n"));
  return razlog.isEmpty() ? QStringLiteral("Poslužitelj nije potvrdio primitak poruke.") : razlog;
}

bool frmMain::posaljiJednu() {
  bPoslano = 0;
  pozoviMotor([this] { poSendMail->Send(); });
  if (bPoslano == 1 && StatusSlanja != 2) return zabilježiOdgovor(poSendMail->acceptedReply()), true;
  if (StatusSlanja != 2) poSendMail_SendFailed(neprijavljeniRazlog(*poSendMail));
  return false;
}

bool frmMain::spojiSe() {
  bool spojen = false;
  pozoviMotor([&] { spojen = poSendMail->Connect(); });
  if (spojen) return true;
  if (StatusSlanja != 2) poSendMail_SendFailed(neprijavljeniRazlog(*poSendMail));
  return false;
}

QString frmMain::jednaLinijaDnevnika() const {
  return ui->txtTo->text() + QLatin1Char(' ') + ui->txtBCC->text() + QLatin1Char(' ') +
         ui->txtBCC->text();
}

void frmMain::dodajUDnevnik(bool poslano, const QString& linija) {
  zabilježiPojedinačno(poslano);
  if (poslano) {
    okvir(this, QStringLiteral("Vaš e-mail je uspješno poslan!"), platform::MsgIcon::Information,
          kNaslov);
    m_prikazSlanja->dodaj(ui->lstPoslano, linija);
  } else {
    m_prikazSlanja->dodaj(ui->lstNeuspjelo, linija);
  }
}

void frmMain::počistiNakonSlanja() {
  ui->List1->clear();
  TijeloPoruke.clear();
  UgradjeneSlike.clear();
  pješčanik(false);
  m_odgodaNapretka.stop();
  ui->lblMailProgress->setVisible(false);
  ui->Progress->setVisible(false);
  ui->sbStatusBar->clearMessage();  // no percentage or countdown outlives its run
}

void frmMain::poSendMail_Progress(int PercentComplete) {
  m_mjeriloNapretka = 100;
  if (ui->List1->count() == 0) {
    Napredak = PercentComplete;
  } else {
    Napredak = double(std::max(0, ui->List1->currentRow())) * 100 + PercentComplete;
    m_mjeriloNapretka = double(ui->List1->count()) * 100;
  }
  if (!m_prikazanNapredak.isValid() || m_prikazanNapredak.hasExpired(50))
    prikažiNapredak();
  else if (!m_odgodaNapretka.isActive())
    m_odgodaNapretka.start();
}

void frmMain::prikažiNapredak() {
  m_prikazanNapredak.start();
  ui->Progress->setVisible(true);
  ui->Progress->setValue(int(std::lround(Napredak)));
  const QString posto =
      QLocale().toString(Napredak / m_mjeriloNapretka * 100, 'g', QLocale::FloatingPointShortest);
  ui->sbStatusBar->showMessage(QStringLiteral("Šaljem .... ") + posto + QStringLiteral("% završeno"));
  ui->lblMailProgress->setText(QStringLiteral("Šaljem .... ") + posto + QLatin1Char('%'));
  ui->lblMailProgress->setVisible(true);
}

void frmMain::poSendMail_SendFailed(const QString& Explanation) {
  ui->Progress->setValue(0);
  StatusSlanja = 2;
  pješčanik(false);
  if (m_uMotoru) {  // shown once the engine has returned
    m_neuspjeh += (m_neuspjeh.isEmpty() ? QString() : QStringLiteral("\r\n")) + Explanation;
    return;
  }
  if (zabilježiRazlog(Explanation)) return;  // the run goes on; the reason is in its log
  okvir(this,
        QStringLiteral("Nije uspio pokušaj slanja e-mail-a zbog slijedećih razloga: \r\n") + Explanation,
        platform::MsgIcon::Information, kNaslov);
}

void frmMain::poSendMail_SendSuccesful() { bPoslano = 1; }

// The record runs' common frame: the record bar from the first record, and at the end the
// bar hidden, the count box when anything went, and the clean-up.
void frmMain::pocniZapise() {
  m_rs->MoveFirst();
  ui->prbUk->setVisible(true);
  ui->prbUk->setRange(0, m_rs->RecordCount() + 1);
  ui->prbUk->setValue(1);
}

