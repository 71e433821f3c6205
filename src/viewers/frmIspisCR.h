#pragma once
#include <QDialog>
#include <QPrinter>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/Report.h"

namespace Ui {
class frmIspisCR;
}
namespace platform {
class RecordSet;
}
class QPrintPreviewWidget;

namespace viewers {

// Previews a report and prints it, sets up its page, exports it to PDF (all pages or a
// range), e-mails that PDF through the send form, and exports or shows its record set.
// The opener sets the public members, then calls Prikaži.
class frmIspisCR : public QDialog {
  Q_OBJECT
 public:
  explicit frmIspisCR(QWidget* parent = nullptr);
  ~frmIspisCR() override;

  platform::Report rptIzvjestaj;
  platform::RecordSet* rsZapisi = nullptr;  // not owned; may stay null
  bool PamtiPoziciju = false;
  QString EmailPrimatelja;

  // Shows the report modally; returns when the window is unloaded.
  void Prikaži();
  // First page 0: all pages. With eMail, a PDF that was written goes to the send form.
  void IzveziPDF(bool eMail, int prva, int zadnja);

  QPrintPreviewWidget* CRVRadnici() const { return CRVRadnici_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void done(int r) override;

 private:
  void Form_Load();
  void osvjeziPregled();
  void cmdIspis_Click();
  void cmdPostaviPrinter_Click();
  void cmdExcel_Click();
  void gmbPregledZapisa_Click();
  void cmdOdDoExport_Click();
  void PrikažiOpseg(bool eMail, const QString& naslov);
  void SakrijOpseg();
  void VratiPoziciju();
  void SpremiPoziciju();
  void poruka(const QString& tekst, platform::MsgIcon ikona, const QString& naslov = {});

  std::unique_ptr<Ui::frmIspisCR> ui;
  QPrinter printer_{QPrinter::HighResolution};  // the preview's, on the report's page layout
  QPrintPreviewWidget* CRVRadnici_ = nullptr;
  bool eMailOpseg_ = false;
};

}  // namespace viewers
