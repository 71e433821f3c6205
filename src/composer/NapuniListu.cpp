// The record-set recipient list of the composer.
#include <exception>

#include "composer/frmMain.h"
#include "entry/Pomocne.h"
#include "platform/Dialogs.h"
#include "platform/RecordSet.h"
#include "ui_frmMain.h"

namespace {

// A record's value as text; a field the record set does not have is an error.
QString tekstPolja(const platform::RecordSet& rs, const QString& polje) {
  if (rs.FieldIndex(polje) < 0)
    throw std::runtime_error("U zapisima nema polja \"" + polje.toStdString() + "\".");
  return rs.Value(polje).toString();
}

}  // namespace

void frmMain::NapuniListu() {
  ui->lvEmail->clear();
  if (!m_rs) return;
  QString neispravni, ispravni;
  try {
    if (m_rs->RecordCount() > 0) {
      m_rs->MoveFirst();
      while (!m_rs->Eof()) {
        const QString adresa = tekstPolja(*m_rs, QStringLiteral("EMail"));
        // A blank address would pass the list check and send to nobody.
        if (adresa.trimmed().isEmpty() || !ProvjeriEMailAdrese(adresa)) {
          neispravni += QLatin1Char(' ') + adresa;
          m_rs->Delete();
        } else if (!ispravni.contains(adresa, Qt::CaseInsensitive)) {
          const QString ime = tekstPolja(*m_rs, QStringLiteral("Ime"));
          ui->lvEmail->addTopLevelItem(
              new QTreeWidgetItem(QStringList{ime + QLatin1Char(' ') + adresa}));
          ispravni += adresa + QLatin1Char(';');
        }
        m_rs->MoveNext();
      }
    }
    if (!neispravni.isEmpty())
      platform::dialogs().messageBox(
          this,
          QStringLiteral("Neispravni mail-ovi: ") + neispravni +
              QStringLiteral("\r\nOni su izbrisani. Želite li nastaviti sa slanjem ispravnih e-mail-ova?"),
          platform::MsgButtons::YesNo, platform::MsgIcon::Question, platform::defaultTitle());
  } catch (const std::exception& e) {
    platform::dialogs().messageBox(this, QString::fromUtf8(e.what()), platform::MsgButtons::Ok,
                                   platform::MsgIcon::Exclamation, platform::defaultTitle());
  }
}
