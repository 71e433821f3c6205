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
// With a record (zapis) the answer is whether its own domains took it: the customer has
// the mail then, whatever became of the copies, whose failures are noted once for the run.
// Domains that took it in an earlier round are not mailed again.
bool frmMain::posaljiIzravnoDomenama(const QString& to, const QString& cc, const QString& bcc,
                                     bool pojedinacno, bool* ijedna, IzravniZapis* zapis) {
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
    if (m_pitajZaustaviti) pitajZaustaviti();
    if (bPoslano == 1 && StatusSlanja != 2) return true;
    *zašto = StatusSlanja == 2 ? m_neuspjeh : m.pendingErrors().join(QStringLiteral("\r\n"));
    if (zašto->isEmpty()) *zašto = QStringLiteral("Poslužitelj nije potvrdio primitak poruke.");
    return false;
  };
  bool sve = bezDomene.isEmpty() && !plan.isEmpty();
  for (int i = 0; i < plan.size(); ++i) {
    const composer::DostavaDomeni& d = plan[i];
    ui->List1->setCurrentRow(i);
    if (zapis && zapis->primile.contains(d.domena)) continue;
    QString razlog, host;
    bool poslano = false, privremeno = false;
    const QStringList hostovi = composer::posluziteljiDomene(d.domena, &razlog, &privremeno);
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
      // Names from the DNS are not checked again: one that does not resolve is a connection
      // that failed, and the next exchanger is tried.
      m.setSMTPHostValidation(0);
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
    const bool vlastita = !zapis || zapis->vlastite.contains(d.domena);
    if (poslano && zapis) {
      zapis->primile.insert(d.domena);
    } else if (!poslano && !vlastita) {
      zabilježiKopije(d.domena, opis);
    } else if (!poslano) {
      if (zapis) zapis->privremeno = zapis->privremeno || privremeno;
      postaviPrivremeno(privremeno);
      zabilježiRazmjenu(hostovi.isEmpty() ? QStringList() : m.lastExchange());
      poSendMail_SendFailed(opis);
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
  if (!zapis) return sve;
  for (const QString& d : std::as_const(zapis->vlastite))
    if (!zapis->primile.contains(d)) return false;
  return true;
}

void frmMain::posaljiIzravno(bool bPojedinacno) {
  if (bPojedinacno) {
    bool ijedna = false;
    posaljiIzravnoDomenama(ui->txtTo->text(), ui->txtCC->text(), ui->txtBCC->text(), true, &ijedna);
    dodajUDnevnik(ijedna, jednaLinijaDnevnika());
    return počistiNakonSlanja();
  }
  // One message per record, to the record's own address by its domain's exchanger; the
  // CC and BCC boxes go with every record, as on the configured server.
  if (!m_rs || m_rs->RecordCount() < 1) return prekiniZapise();
  const auto [cc, bcc] = m_kopije;
  ui->txtCC->clear();
  ui->txtBCC->clear();
  pocniZapise();
  while (!m_rs->Eof() && !SlanjeZaustavljeno()) {
    if (!pripremiPokušaj(true)) continue;
    const QString adresa = composer::tekstPolja(*m_rs, QStringLiteral("EMail"));
    const QString ime = composer::tekstPolja(*m_rs, QStringLiteral("Ime"));
    const QString linija = ime + QLatin1Char(' ') + adresa;
    IzravniZapis& zapis = izravniZapis(adresa);
    bool ijedna = false;
    zapis.privremeno = false;
    const bool poslano = posaljiIzravnoDomenama(adresa, cc, bcc, false, &ijedna, &zapis);
    const bool odgođen = zabilježiZapis(poslano, adresa, ime, zapis.privremeno);
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
