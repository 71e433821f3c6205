// The record-set recipient list of the composer: filling and purging it, the clipboard
// list, and removing a recipient with Delete.
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSet>
#include <exception>

#include "composer/PoljaZapisa.h"
#include "composer/frmMain.h"
#include "core/Pomocne.h"
#include "platform/Dialogs.h"
#include "platform/RecordSet.h"
#include "ui_frmMain.h"
#include "viewers/frmPrikazTeksta.h"

namespace composer {

namespace {

void uskličnik(QWidget* w, const std::exception& e) {
  platform::dialogs().messageBox(w, QString::fromUtf8(e.what()), platform::MsgButtons::Ok,
                                 platform::MsgIcon::Exclamation, platform::defaultTitle());
}

// A box taller than the screen hides its buttons: a longer list goes into the text
// viewer, which scrolls.
constexpr int kNajviseUOkviru = 20;

void uPreglednik(const QStringList& popis, bool pitanje, const QString& tekstPitanja) {
  viewers::frmPrikazTeksta::forma()->PrikažiTekst(platform::defaultTitle(), popis.join(QStringLiteral("\r\n")), pitanje,
                                                  tekstPitanja);
}

// A Null, blank or rejected address is no recipient.
bool ispravnaAdresa(const QString& adresa) { return !adresa.trimmed().isEmpty() && core::ProvjeriEMailAdrese(adresa); }

// Key presses of the list go to the window's handler.
class TipkeListe : public QObject {
 public:
  explicit TipkeListe(frmMain* forma) : QObject(forma), forma_(forma) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      const auto* k = static_cast<QKeyEvent*>(e);
      if (k->key() == Qt::Key_Delete) {
        forma_->lvEmail_KeyDown(k->key(), k->modifiers());
        return true;
      }
    }
    return QObject::eventFilter(o, e);
  }

 private:
  frmMain* forma_;
};

}  // namespace

void frmMain::poveziListuPrimatelja() { ui->lvEmail->installEventFilter(new TipkeListe(this)); }

void frmMain::NapuniListu() {
  ui->lvEmail->clear();
  if (!rs_) return;
  QStringList neispravni;
  QSet<QString> ispravni;  // whole addresses: one may be the end of another
  try {
    if (rs_->RecordCount() > 0) {
      rs_->MoveFirst();
      while (!rs_->Eof()) {
        const QString adresa = tekstPolja(*rs_, QStringLiteral("EMail"));
        // A blank address would pass the list check and send to nobody.
        if (!ispravnaAdresa(adresa)) {
          neispravni << adresa;
          rs_->Delete();
        } else if (!ispravni.contains(adresa.toLower())) {
          const QString ime = tekstPolja(*rs_, QStringLiteral("Ime"));
          auto* item = new QTreeWidgetItem(QStringList{ime + QLatin1Char(' ') + adresa});
          item->setData(0, Qt::UserRole, adresa);
          ui->lvEmail->addTopLevelItem(item);
          ispravni.insert(adresa.toLower());
        }
        rs_->MoveNext();
      }
    }
    const QString pitanje = QStringLiteral("Oni su izbrisani. Želite li nastaviti sa slanjem ispravnih e-mail-ova?");
    if (neispravni.size() > kNajviseUOkviru)
      uPreglednik(QStringList{QStringLiteral("Neispravni mail-ovi:")} + neispravni, true, pitanje);
    else if (!neispravni.isEmpty())
      platform::dialogs().messageBox(this,
                                     QStringLiteral("Neispravni mail-ovi:  ") + neispravni.join(QLatin1Char(' ')) +
                                         QStringLiteral("\r\n") + pitanje,
                                     platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                     platform::defaultTitle());
  } catch (const std::exception& e) {
    uskličnik(this, e);
  }
}

void frmMain::GenerirajListu() {
  QString lista;
  QSet<QString> uListi;  // whole addresses, as in the recipient list
  try {
    if (rs_ && rs_->RecordCount() > 0) {
      rs_->MoveFirst();
      for (; !rs_->Eof(); rs_->MoveNext()) {
        const QString adresa = tekstPolja(*rs_, QStringLiteral("EMail"));
        if (ispravnaAdresa(adresa) && !uListi.contains(adresa.toLower())) {
          uListi.insert(adresa.toLower());
          lista += adresa + QLatin1Char(';');
        }
      }
    }
    QClipboard* c = QGuiApplication::clipboard();
    c->clear();
    c->setText(lista);
    const QString poruka =
        QStringLiteral("Generirani svi mailovi u clipboard. Sada te podatke možete spremiti u npr. Outlook.");
    if (uListi.size() > kNajviseUOkviru) uPreglednik(lista.split(QLatin1Char(';'), Qt::SkipEmptyParts), false, poruka);
    else if (!lista.isEmpty())
      platform::dialogs().messageBox(this, poruka + QStringLiteral("\r\n") + lista, platform::MsgButtons::Ok,
                                     platform::MsgIcon::Information, platform::defaultTitle());
  } catch (const std::exception& e) {
    uskličnik(this, e);
  }
}

void frmMain::lvEmail_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (key != Qt::Key_Delete || (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) return;
  QTreeWidgetItem* item = ui->lvEmail->currentItem();
  if (!item || !item->isSelected() || uSlanju_) return;
  if (platform::dialogs().messageBox(
          this, QStringLiteral("Želite li ukloniti ") + item->text(0) + QStringLiteral(" iz slanja e-mail-a?"),
          platform::MsgButtons::YesNo, platform::MsgIcon::Question,
          platform::defaultTitle()) != platform::MsgResult::Yes)
    return;
  const QString adresa = item->data(0, Qt::UserRole).toString();
  delete item;
  if (!rs_) return;
  // Every row of that address goes: a duplicate row left behind would still be mailed.
  try {
    rs_->MoveFirst();
    for (; !rs_->Eof(); rs_->MoveNext())
      if (tekstPolja(*rs_, QStringLiteral("EMail")).compare(adresa, Qt::CaseInsensitive) == 0) rs_->Delete();
  } catch (const std::exception& e) {
    uskličnik(this, e);
  }
}

}  // namespace composer
