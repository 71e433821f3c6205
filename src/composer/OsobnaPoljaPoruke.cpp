// The composer's personal fields: the "Umetni polje" menu, the check before a record run,
// the subject and body of each record's message, and the preview as one recipient sees it
// with the files the message carries.
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include "composer/HtmlEditor.h"
#include "composer/LokalneSlike.h"
#include "composer/OsobnaPolja.h"
#include "composer/PriloziZapisa.h"
#include "composer/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/RecordSet.h"
#include "ui_frmMain.h"

namespace composer {

void frmMain::poveziPolja() {
  connect(ui->mnuUmetniPolje, &QMenu::aboutToShow, this, &frmMain::napuniIzbornikPolja);
  pregledZa_ = new QLabel(ui->tabPreview);
  pregledZa_->setObjectName(QStringLiteral("lblPregledZa"));
  pregledZa_->setTextFormat(Qt::PlainText);
  pregledZa_->setContentsMargins(4, 2, 4, 2);
  pregledZa_->setVisible(false);
  pregledZa_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  ui->vlPreview->insertWidget(0, pregledZa_);
  ui->vlPreview->setStretchFactor(ui->WbrPreview, 1);
  // Another recipient picked while the preview shows: the preview follows (not during a
  // run: the page's answer would be awaited inside the engine's own wait).
  connect(ui->lvEmail, &QTreeWidget::currentItemChanged, this, [this] {
    if (!uSlanju_ && ui->SSTab2->currentWidget() == ui->tabPreview) SSTab2_Click(1);
  });
  napuniIzbornikPolja();
}

// One entry per column of the record set; none, and the menu disabled, without one.
void frmMain::napuniIzbornikPolja() {
  ui->mnuUmetniPolje->clear();
  ui->mnuUmetniPolje->menuAction()->setEnabled(rs_ && rs_->FieldCount() > 0);
  if (!rs_) return;
  for (int i = 0; i < rs_->FieldCount(); ++i) {
    const QString ime = rs_->FieldName(i);
    connect(ui->mnuUmetniPolje->addAction(ime), &QAction::triggered, this, [this, ime] { umetniPolje(ime); });
  }
}

// At the caret of the subject box when it has the focus, else of the document.
void frmMain::umetniPolje(const QString& ime) {
  const QString oznaka = composer::oznakaPolja(ime);
  if (focusWidget() == ui->txtSubject) {
    ui->txtSubject->insert(oznaka);
    return;
  }
  ui->Editor->pasteHtml(oznaka.toHtmlEscaped());
}

// A record run's fields must all be columns: otherwise one box names them and nothing goes.
bool frmMain::pripremiPolja(bool bPojedinacno) {
  if (bPojedinacno || !rs_) return true;
  const QString predmet = ui->txtSubject->text();
  const QStringList nepoznata =
      composer::nepoznataPolja({predmet, ui->Editor->documentHtml(), ui->txtAttach->text()}, *rs_);
  if (nepoznata.isEmpty()) return true;
  QStringList stupci;
  for (int i = 0; i < rs_->FieldCount(); ++i) stupci << rs_->FieldName(i);
  const QString tekst =
      (nepoznata.size() == 1 ? QStringLiteral("Nepoznato polje: ") : QStringLiteral("Nepoznata polja: ")) +
      nepoznata.join(QStringLiteral(", ")) + QStringLiteral(".\r\nPolja zapisa su: ") +
      stupci.join(QStringLiteral(", ")) + QStringLiteral(".\r\nPoruke nisu poslane.");
  platform::dialogs().messageBox(this, tekst, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                 QStringLiteral("Slanje E-mail-a"));
  if (!composer::nepoznataPolja({predmet}, *rs_).isEmpty()) ui->txtSubject->setFocus();
  return false;
}

// Each customer's own files. A single message has no record to fill the fields from; a
// record run lists the records whose files are missing and goes on without them only when
// the user says so (*bez: their bookmarks). False: nothing is to be sent.
bool frmMain::provjeriPriloge(bool bPojedinacno, QSet<qint64>* bez) {
  const QString prilozi = ui->txtAttach->text();
  if (composer::poljaUTekstu({prilozi}).isEmpty()) return true;
  if (bPojedinacno || !rs_) {
    platform::dialogs().messageBox(
        this,
        QStringLiteral("Privitak s poljem zapisa ({{...}}) može se poslati samo svakom "
                       "kupcu posebno (\"Pošalji mail za sve zapise\"). Poruka nije poslana."),
        platform::MsgButtons::Ok, platform::MsgIcon::Exclamation, QStringLiteral("Slanje E-mail-a"));
    ui->txtAttach->setFocus();
    return false;
  }
  const QList<composer::ZapisBezPriloga> nedostaju = composer::zapisiBezPriloga(prilozi, *rs_);
  if (nedostaju.isEmpty()) return true;
  QStringList opisi;
  for (const composer::ZapisBezPriloga& z : nedostaju) opisi << z.opis, bez->insert(z.bookmark);
  return platform::dialogs().confirmList(
      this,
      QStringLiteral("Zapisima (%1) nedostaju privici ili se ne mogu pročitati. Tim kupcima poruka neće biti "
                     "poslana:")
          .arg(nedostaju.size()),
      opisi, QStringLiteral("Nastavi bez njih"), QStringLiteral("Odustani"), QStringLiteral("Slanje E-mail-a"));
}

// What each message carries besides its text: the document's images and the attachments;
// a local source that is no image is named, for it stops the run.
static QString datotekePoruke(const QStringList& izvori, const QUrl& dokument, const QString& prilozi) {
  QStringList slike, ostale, imena;
  composer::lokalneDatoteke(izvori, dokument, &slike, &ostale);
  slike += prilozi.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (const QString& put : std::as_const(slike)) imena << QFileInfo(put.trimmed()).fileName();
  QStringList redovi;
  if (!imena.isEmpty()) redovi << QStringLiteral("Datoteke u poruci: ") + imena.join(QStringLiteral(", "));
  if (!ostale.isEmpty())
    redovi << QStringLiteral("Nisu slikovne datoteke, slanje neće krenuti: ") + ostale.join(QStringLiteral(", "));
  return redovi.join(QLatin1Char('\n'));
}

// The document as the selected recipient of lvEmail (else the first) will get it, with a
// line naming the recipient and the subject and one naming the files the message carries;
// without a record set, the document as it is.
QString frmMain::pripremiPregled(const QString& html) {
  const QString datoteke = datotekePoruke(ui->Editor->imageSources(), ui->Editor->documentUrl(), ui->txtAttach->text());
  pregledZa_->setText(datoteke);
  pregledZa_->setVisible(!datoteke.isEmpty());
  QTreeWidgetItem* primatelj = ui->lvEmail->currentItem();
  if (!primatelj || !primatelj->isSelected()) primatelj = ui->lvEmail->topLevelItem(0);
  if (!rs_ || !primatelj) return html;
  // A clone: the host's cursor stays where it is.
  platform::RecordSet zapis = rs_->Clone();
  const QString adresa = primatelj->data(0, Qt::UserRole).toString();
  for (zapis.MoveFirst(); !zapis.Eof(); zapis.MoveNext()) {
    if (zapis.Value(QStringLiteral("EMail")).toString().compare(adresa, Qt::CaseInsensitive) != 0) continue;
    const QString za = QStringLiteral("Za: ") + primatelj->text(0).simplified() + QStringLiteral("     Predmet: ") +
                       composer::popuniPolja(ui->txtSubject->text(), zapis, OblikPolja::Tekst);
    pregledZa_->setText(datoteke.isEmpty() ? za : za + QLatin1Char('\n') + datoteke);
    pregledZa_->setVisible(true);
    return composer::popuniPolja(html, zapis, OblikPolja::Html);
  }
  return html;
}

}  // namespace composer
