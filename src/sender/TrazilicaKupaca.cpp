#include "sender/TrazilicaKupaca.h"

namespace {
TrazilicaKupaca& installed() {
  static TrazilicaKupaca t;
  return t;
}
}  // namespace

void PostaviTrazilicuKupaca(TrazilicaKupaca trazilica) { installed() = std::move(trazilica); }

OdabirKupca TraziKupca(QWidget* parent) {
  if (installed()) return installed()(parent);
  // The customer search window is not part of this build yet: nothing is chosen.
  return OdabirKupca{};
}
