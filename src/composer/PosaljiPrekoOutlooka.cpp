// The composer's route through the desktop mail client: every message goes to the local
// mail system (sendmail -t -i) instead of the composer's own SMTP engine.
#include "composer/PoljaZapisa.h"
#include "composer/frmMain.h"
#include "mail/HtmlText.h"
#include "mail/LocalMailMessage.h"
#include "platform/DesktopMailClient.h"
#include "platform/Dialogs.h"
#include "ui_frmMain.h"

void frmMain::PosaljiPrekoOutlooka(bool bPojedinacno) {
  ui->Progress->setMaximum(100);
  ui->Progress->setValue(0);
  if (bPojedinacno) {
    const bool poslano = PosaljiOutlookPoruku(ui->txtTo->text(), ui->txtCC->text(),
                                              ui->txtBCC->text(), false) == 0;
    dodajUDnevnik(poslano, jednaLinijaDnevnika());
    return počistiNakonSlanja();
  }
  if (!m_rs || m_rs->RecordCount() <= 0) return prekiniZapise();
  pocniZapise();
  while (!m_rs->Eof() && !SlanjeZaustavljeno()) {
    if (!pripremiPokušaj()) continue;
    const QString adresa = composer::tekstPolja(*m_rs, QStringLiteral("EMail"));
    const QString linija = composer::tekstPolja(*m_rs, QStringLiteral("Ime")) + QLatin1Char(' ') + adresa;
    const bool poslano = PosaljiOutlookPoruku(adresa, QString(), QString(), false) == 0;
    zabilježiZapis(poslano, adresa, composer::tekstPolja(*m_rs, QStringLiteral("Ime")));
    if (!poslano) {
      m_prikazSlanja->dodaj(ui->lstNeuspjelo, linija);
      if (nastaviPoslijeGreške(false)) continue;
      platform::dialogs().messageBox(this, QStringLiteral("Prekida se slanje poruka!"),
                                     platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                     platform::defaultTitle());
      return prekiniZapise();
    }
    m_prikazSlanja->dodaj(ui->lstPoslano, linija);
    if (ui->chkBrišiPoslane->isChecked()) m_rs->Delete();
    m_rs->MoveNext();
    ui->prbUk->setValue(ui->prbUk->value() + 1);
  }
  ui->prbUk->setVisible(false);
}

// 0 sent, 1 failed (after the "Greška: " box). The boxes decide whether CC and BCC go,
// the arguments what they hold.
qint16 frmMain::PosaljiOutlookPoruku(const QString& to, const QString& cc, const QString& bcc,
                                     bool prikaži) {
  platform::MailItem item;
  item.To = to;
  if (!ui->txtCC->text().trimmed().isEmpty()) item.CC = cc;
  if (!ui->txtBCC->text().trimmed().isEmpty()) item.BCC = bcc;
  item.HtmlBody = porukaUHtmlu();
  item.Body = item.HtmlBody ? tijeloPoruke() : mail::htmlToPlainText(tijeloPoruke());
  item.Subject = predmetPoruke();
  item.HighImportance = true;
  // The customers see the composer's sender, not this machine's login.
  item.From = ui->txtFrom->property("Tag").toString();
  item.FromName = ui->txtFrom->text();
  QString greška;
  bool ok = true;
  // Each path of the list is an attachment of its own: the whole list is no file.
  for (const QString& put : ui->txtAttach->text().split(QLatin1Char(';'), Qt::SkipEmptyParts))
    if (ok && !put.trimmed().isEmpty()) ok = item.AddAttachment(put.trimmed(), &greška);
  ok = ok && (prikaži ? item.Display(&greška) : item.Send(&mail::localMailText, &greška));
  if (ok) return 0;
  if (zabilježiRazlog(greška)) return 1;  // the run goes on; the reason is in its log
  platform::dialogs().messageBox(this, QStringLiteral("Greška: ") + greška, platform::MsgButtons::Ok,
                                 platform::MsgIcon::None, platform::defaultTitle());
  return 1;
}
