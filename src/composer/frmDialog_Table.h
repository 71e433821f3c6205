#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class frmDialog_Table;
}

namespace composer {

// The HTML of an empty table. A confirmed dialog leaves it in the process-wide table text;
// counts must be whole numbers 1-100.
class frmDialog_Table : public QDialog {
  Q_OBJECT

 public:
  explicit frmDialog_Table(QWidget* parent = nullptr);
  ~frmDialog_Table() override;

  static QString TablicaHtml();
  // Empty texts leave their attribute out; borderColor is the colour number in decimal.
  static QString IzgradiHtml(const QString& align, const QString& cellspacing, const QString& cellpadding,
                             const QString& border, qint32 borderColor, int redovi, int kolone);

  void cmdBorderColor_Click();
  void Command1_Click();

 private:
  std::unique_ptr<Ui::frmDialog_Table> ui;
  qint32 boja_ = 0;
};

}  // namespace composer
