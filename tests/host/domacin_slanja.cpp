// A host of the component for the crash test: it sends a mailing through the composer as
// a user would, and afterwards keeps in its customer table (SQLite, Kupci: Sifra, Ime,
// EMail) only the records the composer left in the set. Every question is answered with
// "Yes" (taking up a run cut short) or its first button; "Briši poslane" is on.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "VelkorSlanjeEMaila26.h"

namespace {

void odgovori(QMessageBox* box) {
  static int broj = 0;
  if (qEnvironmentVariableIsSet("VELKOR_SCREENSHOT_DIR"))
    box->grab().save(QString("%1/okvir-%2.png").arg(qEnvironmentVariable("VELKOR_SCREENSHOT_DIR")).arg(++broj));
  QAbstractButton* da = box->button(QMessageBox::Yes);
  (da ? da : box->buttons().first())->click();
}

// Fills in the message once the composer is up, and sends it to every record.
void posalji(QWidget* f) {
  auto* od = f->findChild<QLineEdit*>("txtFrom");
  od->setText("Prodaja Velkor");
  od->setProperty("Tag", "prodaja@velkor.hr");
  f->findChild<QLineEdit*>("txtSubject")->setText("Račun za {{Ime}}");
  f->findChild<QCheckBox*>("chkBrišiPoslane")->setChecked(true);
  QTimer::singleShot(0, f, [f] {
    f->findChild<QPushButton*>("cmdPošaljiPrekoRS")->click();
    f->close();
  });
}

VelkorRecordSet* upit(const std::string& veza, const std::string& sql) {
  char* greska = nullptr;
  VelkorRecordSet* rs = VelkorRecordSet_OpenQuery("QSQLITE", veza.c_str(), sql.c_str(), &greska);
  if (!rs) std::fprintf(stderr, "%s\n", greska ? greska : "");
  VelkorRecordSet_FreeText(greska);
  return rs;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // before the editor's engine starts
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const std::string veza = std::string("database=") + argv[1];
  VelkorRecordSet* rs = upit(veza, "SELECT Sifra, Ime, EMail FROM Kupci ORDER BY Sifra");
  if (!rs) return 1;
  bool poslano = false;
  QTimer korisnik;
  QObject::connect(&korisnik, &QTimer::timeout, [&] {
    QWidget* gore = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(gore)) return odgovori(box);
    if (gore && gore->objectName() == QLatin1String("frmMain") && !poslano) poslano = true, posalji(gore);
  });
  korisnik.start(20);
  clsSlanjeEMaila* obj = clsSlanjeEMaila_Create();
  const int32_t parametar = 0;
  const int32_t izlaz = clsSlanjeEMaila_SlanjePrekoRecordseta(obj, &rs, &parametar);
  std::string ostali = "0";
  for (int32_t r = 0; r < VelkorRecordSet_RecordCount(rs); ++r) ostali += std::string(",") + VelkorRecordSet_Value(rs, r, 0);
  VelkorRecordSet_Release(rs);
  VelkorRecordSet* brisanje = upit(veza, "DELETE FROM Kupci WHERE Sifra NOT IN (" + ostali + ")");
  if (brisanje) VelkorRecordSet_Release(brisanje);
  clsSlanjeEMaila_Release(obj);
  std::printf("Izlaz: %d\n", int(izlaz));
  return izlaz == VELKOR_OK && brisanje ? 0 : 1;
}
