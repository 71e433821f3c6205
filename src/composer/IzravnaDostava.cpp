// Direct delivery (no configured server, or "FIND"): each domain's addresses go in one
// message to that domain's mail exchangers, the most preferred first. A domain without one
// is a failure of its own; its mail never goes to this machine's exchanger or to an empty
// host.
#include <QScopeGuard>
#include <algorithm>

#include "composer/MailFormat.h"
#include "composer/PlanDostave.h"
#include "composer/PoljaZapisa.h"
#include "composer/PostavkeComposera.h"
#include "composer/frmMain.h"
#include "mail/clsSendMail.h"
#include "platform/Dialogs.h"
#include "ui_frmMain.h"

// True when every domain took its message; *ijedna when at least one did. A single run
// logs each failed domain with its reason; a record's failure is logged by its record.
// With `vlastita` (a record's own domain) the answer is whether that domain took it: the
// customer has the mail then, whatever became of the copies, whose failures are noted once
// for the run; *vlastitaPrivremeno tells whether its failure was one for now.
bool frmMain::posaljiIzravnoDomenama(const QString& to, const QString& cc, const QString& bcc,
                                     bool html, bool pojedinacno, bool* ijedna, const QString& vlastita,
                                     bool* vlastitaPrivremeno) {
  QStringList bezDomene;
  const QList<composer::DostavaDomeni> plan = composer::planDostave(to, cc, bcc, &bezDomene);
  ui->List1->clear();
  for (const composer::DostavaDomeni& d : plan) ui->List1->addItem(d.domena);
  ui->Progress->setMaximum(std::max<int>(1, int(plan.size())) * 100);
  ui->Progress->setValue(0);
  clsSendMail& m = *poSendMail;
  // Exchangers rarely have a certificate for their name; a configured server must.
  m.setOpportunisticTls(true);
  const auto strogiTls = qScopeGuard([&m] { m.setOpportunisticTls(false); });
  // One Send to the host set, its failure not reported: false with the reason a report
  // would have given.
  const auto pošalji = [&](QString* zašto) {
    bPoslano = 0, StatusSlanja = 0;
    m_neuspjeh.clear();
    m_uMotoru = true;  // SendFailed then only collects the explanation
    m.Send();
    m_uMotoru = false;
    if (bPoslano == 1 && StatusSlanja != 2) return true;
    *zašto = StatusSlanja == 2 ? m_neuspjeh : m.pendingErrors().join(QStringLiteral("\r\n"));
    if (zašto->isEmpty()) *zašto = QStringLiteral("Poslužitelj nije potvrdio primitak poruke.");
    return false;
  };
  bool sve = bezDomene.isEmpty() && !plan.isEmpty();
  bool vlastitaPoslana = false;
  for (int i = 0; i < plan.size(); ++i) {
    const composer::DostavaDomeni& d = plan[i];
    ui->List1->setCurrentRow(i);
    QString razlog, host;
    const QStringList hostovi = composer::posluziteljiDomene(d.domena, &razlog);
    bool poslano = false, privremeno = false;
    QString opis = d.domena + QStringLiteral(": ") + razlog;
    if (!hostovi.isEmpty()) {
      pripremiMotor(hostovi.first());
      m.setRecipient(d.to.join(QLatin1Char(';')));
      m.setCcRecipient(d.cc.join(QLatin1Char(';')));
      m.setBccRecipient(d.bcc.join(QLatin1Char(';')));
      m.setRecipientDisplayName(QString());
      m.setCcDisplayName(QString());
      m.setReplyToAddress(ui->txtFrom->property("Tag").toString());
      m.setSubject(predmetPoruke());
      m.setAttachment(priloziPoruke());
      m.setReceipt(true);
      m.setContentBase(QString());
      postaviTijelo(m);
      m.setPriority(0);
      m.setReceipt(false);
      // The exchangers in turn (RFC 5321 §5.1): the next one when this one could not be
      // reached, did not greet or failed for now; a refusal after the greeting is final.
      // The domain fails once, with the reason of every exchanger tried.
      QString zašto;
      QStringList razlozi;
      for (const QString& h : hostovi) {
        host = h;
        m.setSMTPHost(h);
        poslano = pošalji(&zašto);
        if (poslano) break;
        razlozi << h + QStringLiteral(": ") + zašto;
        if (!m.lastFailureAtConnect() && !m.lastFailureTemporary()) break;
      }
      opis = razlozi.size() == 1 ? zašto : razlozi.join(QStringLiteral("\r\n"));
      privremeno = m.lastFailureTemporary();
      if (poslano) zabilježiOdgovor(m.acceptedReply());
    }
    if (!poslano && !vlastita.isEmpty() && d.domena != vlastita) {
      zabilježiKopije(d.domena, opis);
    } else if (!poslano) {
      postaviPrivremeno(privremeno);
      if (vlastitaPrivremeno) *vlastitaPrivremeno = privremeno;
      poSendMail_SendFailed(opis);
    }
    if (poslano && d.domena == vlastita) vlastitaPoslana = true;
    if (poslano) {
      *ijedna = true;
    } else {
      sve = false;
      if (pojedinacno)
        m_prikazSlanja->dodaj(ui->lstNeuspjelo, (d.to + d.cc + d.bcc).join(QLatin1Char(';')) + QLatin1Char(' ') +
                                (host.isEmpty() ? razlog : host));
    }
  }
  return vlastita.isEmpty() ? sve : vlastitaPoslana;
}

void frmMain::posaljiIzravno(bool bPojedinacno) {
  const bool html = porukaUHtmlu();
  if (bPojedinacno) {
    bool ijedna = false;
    posaljiIzravnoDomenama(ui->txtTo->text(), ui->txtCC->text(), ui->txtBCC->text(), html, true,
                           &ijedna);
    dodajUDnevnik(ijedna, jednaLinijaDnevnika());
    return počistiNakonSlanja();
  }
  // One message per record, to the record's own address by its domain's exchanger; the
  // CC and BCC boxes go with every record, as on the configured server.
  if (!m_rs || m_rs->RecordCount() < 1) return prekiniZapise();
  // The boxes are emptied by the first round; later rounds send the same copies.
  if (!m_kopijeIzravno) m_kopijeIzravno = {ui->txtCC->text(), ui->txtBCC->text()};
  const auto [cc, bcc] = *m_kopijeIzravno;
  ui->txtCC->clear();
  ui->txtBCC->clear();
  pocniZapise();
  while (!m_rs->Eof() && !SlanjeZaustavljeno()) {
    if (!pripremiPokušaj(true)) continue;
    const QString adresa = composer::tekstPolja(*m_rs, QStringLiteral("EMail"));
    const QString ime = composer::tekstPolja(*m_rs, QStringLiteral("Ime"));
    const QString linija = ime + QLatin1Char(' ') + adresa;
    const QString domena = adresa.section(QLatin1Char('@'), -1).trimmed().toLower();
    bool ijedna = false, privremeno = false;
    const bool poslano = posaljiIzravnoDomenama(adresa, cc, bcc, html, false, &ijedna, domena, &privremeno);
    const bool odgođen = zabilježiZapis(poslano, adresa, ime, privremeno);
    if (poslano) {
      m_prikazSlanja->dodaj(ui->lstPoslano, linija);
      if (ui->chkBrišiPoslane->isChecked()) m_rs->Delete();
    } else {
      m_prikazSlanja->dodaj(ui->lstNeuspjelo, odgođen ? linija + QStringLiteral(" (odgođeno)") : linija);
    }
    ui->prbUk->setValue(ui->prbUk->value() + 1);
    m_rs->MoveNext();
  }
  ui->prbUk->setVisible(false);
}
