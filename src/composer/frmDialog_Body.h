#pragma once
#include <QColor>
#include <QDialog>
#include <QStringList>
#include <memory>

class QLabel;
namespace Ui {
class frmDialog_Body;
}

namespace composer {

// Splits a colour number (red in the low byte, then green, then blue) into its parts.
void RastaviBoju(qint32 broj, int& crvena, int& zelena, int& plava);
// "#RRGGBB", upper-case hexadecimal.
QString TekstBoje(qint32 broj);
qint32 BrojBoje(const QColor& c);
QColor BojaIzBroja(qint32 broj);
void PostaviBojuPrikaza(QLabel* prikaz, qint32 broj, bool pozadina = true);

// The page colours. A confirmed dialog copies every box that is not empty into the
// process-wide colour texts.
class frmDialog_Body : public QDialog {
  Q_OBJECT

 public:
  enum Boja { Pozadina, Tekst, Link, PosjecenLink, AktivanLink, BrojBoja };

  explicit frmDialog_Body(QWidget* parent = nullptr);
  ~frmDialog_Body() override;

  static QString Boja(int koja);

  void Odaberi_Click(int koja);  // Command4 ... Command8
  void Command2_Click();

 private:
  std::unique_ptr<Ui::frmDialog_Body> ui;
};

}  // namespace composer
