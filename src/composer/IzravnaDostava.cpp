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
bool frmMain::posaljiIzravnoDomenama(const QString& to, const QString& cc, const QString& bcc,
                                     bool html, bool pojedinacno, bool* ijedna) {
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
  for (int i = 0; i < plan.size(); ++i) {
    const composer::DostavaDomeni& d = plan[i];
    ui->List1->setCurrentRow(i);
    QString razlog, host;
    const QStringList hostovi = composer::posluziteljiDomene(d.domena, &razlog);
    bool poslano = false;
    if (hostovi.isEmpty()) {
      poSendMail_SendFailed(d.domena + QStringLiteral(": ") + razlog);
    } else {
      pripremiMotor(hostovi.first());
      m.setRecipient(d.to.join(QLatin1Char(';')));
      m.setCcRecipient(d.cc.join(QLatin1Char(';')));
      m.setBccRecipient(d.bcc.join(QLatin1Char(';')));
      m.setRecipientDisplayName(QString());
      m.setCcDisplayName(QString());
      m.setReplyToAddress(ui->txtFrom->property("Tag").toString());
      m.setSubject(predmetPoruke());
      m.setMessage(tijeloPoruke());
      const QString a = ui->txtAttach->text().trimmed();
      m.setAttachment(UgradjeneSlike.isEmpty() ? a
                      : a.isEmpty()            ? UgradjeneSlike
                                               : a + QLatin1Char(';') + UgradjeneSlike);
      m.setAsHTML(html);
      m.setReceipt(true);
      m.setContentBase(QString());
      m.setEncodeType(html ? 0 : MailFormatEncode);
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
      if (poslano)
        zabilježiOdgovor(m.acceptedReply());
      else
        poSendMail_SendFailed(razlozi.size() == 1 ? zašto : razlozi.join(QStringLiteral("\r\n")));
    }
    if (poslano) {
      *ijedna = true;
    } else {
      sve = false;
      if (pojedinacno)
        m_prikazSlanja->dodaj(ui->lstNeuspjelo, (d.to + d.cc + d.bcc).join(QLatin1Char(';')) + QLatin1Char(' ') +
                                (host.isEmpty() ? razlog : host));
    }
  }
  return sve;
}

void frmMain::posaljiIzravno(bool bPojedinacno) {
  // Without a stored format the document is HTML, not text to be shown as markup.
  const bool html = composer::CitajPostavku(QStringLiteral("MAILFORMAT")).isEmpty() || MailFormatHTML;
  if (bPojedinacno) {
    bool ijedna = false;
    posaljiIzravnoDomenama(ui->txtTo->text(), ui->txtCC->text(), ui->txtBCC->text(), html, true,
                           &ijedna);
    dodajUDnevnik(ijedna, jednaLinijaDnevnika());
    return počistiNakonSlanja();
  }
  // One message per record, to the record's own address by its domain's exchanger; the
  // CC and BCC boxes go with every record, as on the configured server.
  if (!m_rs || m_rs->RecordCount() < 1) return počistiNakonSlanja();
  const QString cc = ui->txtCC->text(), bcc = ui->txtBCC->text();
  ui->txtCC->clear();
  ui->txtBCC->clear();
  int brojač = 0;
  pocniZapise();
  while (!m_rs->Eof()) {
    if (!pripremiPokušaj()) continue;
    const QString adresa = composer::tekstPolja(*m_rs, QStringLiteral("EMail"));
    const QString linija = composer::tekstPolja(*m_rs, QStringLiteral("Ime")) + QLatin1Char(' ') + adresa;
    bool ijedna = false;
    const bool poslano = posaljiIzravnoDomenama(adresa, cc, bcc, html, false, &ijedna);
    zabilježiZapis(poslano, adresa, composer::tekstPolja(*m_rs, QStringLiteral("Ime")));
    if (poslano) {
      m_prikazSlanja->dodaj(ui->lstPoslano, linija);
      if (ui->chkBrišiPoslane->isChecked()) m_rs->Delete();
      ++brojač;
    } else {
      m_prikazSlanja->dodaj(ui->lstNeuspjelo, linija);
    }
    ui->prbUk->setValue(ui->prbUk->value() + 1);
    m_rs->MoveNext();
  }
  zavrsiZapise(brojač);
}
