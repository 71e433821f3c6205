#include "viewers/CRIspisPrikTeksta.h"

namespace viewers {

platform::Report CRIspisPrikTeksta() {
  platform::Report r;
  r.addTextObject(QStringLiteral("Naslov"), platform::Report::Style::Title);
  r.addTextObject(QStringLiteral("Poruka"), platform::Report::Style::Body);
  return r;
}

}  // namespace viewers
