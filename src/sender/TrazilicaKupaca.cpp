#include "sender/TrazilicaKupaca.h"

#include "lookup/frmKupciEMail.h"

namespace sender {

namespace {
TrazilicaKupaca& installed() {
  static TrazilicaKupaca t;
  return t;
}
}  // namespace

void PostaviTrazilicuKupaca(TrazilicaKupaca trazilica) { installed() = std::move(trazilica); }

OdabirKupca TraziKupca(QWidget* parent) {
  if (installed()) return installed()(parent);
  // A fresh window for each search, gone when the search is over.
  lookup::frmKupciEMail forma(parent);
  forma.Prikaži(QString());
  return OdabirKupca{forma.Odustao, forma.OdabraniEMail};
}

}  // namespace sender
