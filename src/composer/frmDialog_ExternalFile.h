#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class frmDialog_ExternalFile;
}

namespace composer {

// "Učitaj datoteku": the path or address of a document to load into the editor, left in
// the process-wide external-file text when confirmed.
class frmDialog_ExternalFile : public QDialog {
  Q_OBJECT

 public:
  explicit frmDialog_ExternalFile(QWidget* parent = nullptr);
  ~frmDialog_ExternalFile() override;

  static QString Put();
  void Command2_Click();

 private:
  std::unique_ptr<Ui::frmDialog_ExternalFile> ui;
};

}  // namespace composer
