#include "entry/clsSlanjeEMaila.h"

#include "entry/ModulSkladatelja.h"
#include "sender/frmSlanjeeMaila.h"

#include <unistd.h>

namespace {
// Chromium, the composer's editor, ends the whole process when it runs as root with its
// sandbox on; that would take the host's program and open work with it.
void provjeriSandbox() {
  if (geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
      qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox")))
    return;
  throw clsSlanjeEMaila::NijeDostupno(
      "Uređivač HTML poruka ne može se otvoriti: program radi kao administrator (root), a "
      "preglednik uređivača (Chromium) tada odbija raditi sa zaštitom (sandbox). Pokrenite "
      "program kao običan korisnik.");
}

// The composer's module, loaded on the first call that needs it (after the sandbox check,
// so that as root the browser engine is not even loaded).
const sucelje::Skladatelj& skladatelj() {
  provjeriSandbox();
  return sucelje::skladatelj();
}

void izvrsi(bool uspio, const std::string& greska) {
  if (!uspio) throw std::runtime_error(greska);
}
}  // namespace

void clsSlanjeEMaila::SlanjePrekoRecordseta(platform::RecordSet& rs, int) {
  std::string greska;
  izvrsi(skladatelj().prekoRecordseta(rs, &greska), greska);
}

void clsSlanjeEMaila::SlanjeBezRecordSeta(int) {
  std::string greska;
  izvrsi(skladatelj().bezRecordSeta(&greska), greska);
}

void clsSlanjeEMaila::SlanjeFajlaPrekoEMaila(int, const QString& Subject, const QString& Recepients, const QString& CC,
                                             const QString& BCC, const QString& Poruka, const QString& lAttachFileName,
                                             const QString& lAttachFileName2, const QString& lAttachFileName3) {
  sender::frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, lAttachFileName, lAttachFileName2,
                                            lAttachFileName3);
}
