#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace sender {

// The send form's customer search. A host or test may install its own search;
// otherwise the customer search window is used.
struct OdabirKupca {
  bool Odustao = true;
  QString OdabraniEMail;
};
using TrazilicaKupaca = std::function<OdabirKupca(QWidget* parent)>;

void PostaviTrazilicuKupaca(TrazilicaKupaca trazilica);  // empty restores the default
OdabirKupca TraziKupca(QWidget* parent);

}  // namespace sender
