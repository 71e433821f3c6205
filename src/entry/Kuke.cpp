// The one place that joins the component's modules through their hooks: each module knows
// the ones above it only as a function pointer that is set here (the composer's module sets
// its own from the table kukeZaSkladatelja gives it).
#include <mutex>

#include "entry/CSucelje.h"
#include "entry/ModulSkladatelja.h"
#include "sender/frmSlanjeeMaila.h"
#include "viewers/ReportMailHook.h"

namespace {

// The report window e-mails its PDF through the send form.
void posaljiIzvjestaj(const QString& Subject, const QString& Recepients, const QString& CC, const QString& BCC,
                      const QString& Poruka, const QString& prilog, const QString& prilog2, const QString& prilog3) {
  sender::frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, prilog, prilog2, prilog3);
}

}  // namespace

void sucelje::poveziKuke() {
  static std::once_flag jednom;
  std::call_once(jednom, [] { viewers::setReportMailHook(&posaljiIzvjestaj); });
}

const sucelje::SkladateljKuke& sucelje::kukeZaSkladatelja() {
  // The composer's send log opens the report window of the module's own copy of the viewers.
  static const SkladateljKuke kuke{&posaljiIzvjestaj};
  return kuke;
}
