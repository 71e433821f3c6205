#pragma once
#include <QDialog>
#include <QPointer>
#include <memory>

class QLineEdit;
namespace Ui { class frmSettings; }

// "Postavke": the SMTP server (or the proxy, or none: direct delivery) and the sender.
// cmdOK also fills the composer's txtFrom (text = name, property "Tag" = address).
class frmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit frmSettings(QLineEdit* txtFrom, QWidget* parent = nullptr);
  ~frmSettings() override;

  void cmdApply_Click();
  void cmdOK_Click();

 private:
  void Form_Load();
  void chkProxy_Click(bool checked);
  bool provjeri(bool uvjet, const QString& tekst, QLineEdit* polje);

  std::unique_ptr<Ui::frmSettings> ui;
  QPointer<QLineEdit> m_txtFrom;
};
