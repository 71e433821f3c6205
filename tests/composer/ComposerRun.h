#pragma once
// What the composer's tests share: the composer opened with a sender and a subject,
// customer record sets, and the lines of its lists.
#include "composer/PostavkeComposera.h"
#include "composer/frmMain.h"
#include "mail/MessageCheck.h"
#include "support/Fixture.h"

using namespace composer;
// The editor's Chromium shares one GL context; set before the application object exists.
static const bool kDijeljeniKontekst = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);

// A window's control by name.
template <class T = QWidget> T* dio(QWidget* w, const char* ime) { return child<T>(w, ime); }
inline QStringList stavke(QListWidget* l) {
  QStringList out;
  for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
  return out;
}
inline QStringList stavke(QTreeWidget* l) {
  QStringList out;
  for (int i = 0; i < l->topLevelItemCount(); ++i) out << l->topLevelItem(i)->text(0);
  return out;
}
// What the run logged: the sent lines, then the failed ones.
inline QStringList dnevnikSlanja(QWidget* f) {
  return stavke(child<QListWidget>(f, "lstPoslano")) + stavke(child<QListWidget>(f, "lstNeuspjelo"));
}

// "Kupac Čić N" at each address, in order.
inline platform::RecordSet kupci(const QStringList& adrese) {
  platform::RecordSet rs({{"Ime"}, {"EMail"}});
  for (int i = 0; i < adrese.size(); ++i) rs.AddRow({QString("Kupac Čić %1").arg(i + 1), adrese[i]});
  return rs;
}

// The addresses (second column) of the rows left in rs.
inline QStringList adreseZapisa(const platform::RecordSet& rs) {
  QStringList out;
  for (const auto& r : rs.rows()) out << r.value(1).toString();
  return out;
}

// Runs act in the composer opened over rs (or without one), with a sender and the subject,
// and closes it.
inline void uKomposeru(platform::RecordSet* rs, const QString& predmet, const std::function<void(frmMain*)>& act) {
  QTimer::singleShot(0, [&] {
    frmMain* f = frmMain::forma();
    f->findChild<QLineEdit*>("txtFrom")->setText("Prodaja Velkor");
    f->findChild<QLineEdit*>("txtFrom")->setProperty("Tag", "prodaja@velkor.hr");
    f->findChild<QLineEdit*>("txtSubject")->setText(predmet);
    act(f);
    f->close();
  });
  if (rs) frmMain::forma()->PrikažiPrekoRS(*rs);
  else frmMain::forma()->PrikažiBezRS();
}
