#include "entry/clsSlanjeEMaila.h"

#include "sender/frmSlanjeeMaila.h"

namespace {

[[noreturn]] void composerNijeDostupan() {
  throw clsSlanjeEMaila::NijeDostupno(
      "Prozor za slanje HTML poruka (frmMain) nije dostupan u ovoj verziji komponente.");
}

}  // namespace

void clsSlanjeEMaila::SlanjePrekoRecordseta(platform::RecordSet&, int) { composerNijeDostupan(); }

void clsSlanjeEMaila::SlanjeBezRecordSeta(int) { composerNijeDostupan(); }

void clsSlanjeEMaila::SlanjeFajlaPrekoEMaila(int, const QString& Subject,
                                             const QString& Recepients, const QString& CC,
                                             const QString& BCC, const QString& Poruka,
                                             const QString& lAttachFileName,
                                             const QString& lAttachFileName2,
                                             const QString& lAttachFileName3) {
  frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, lAttachFileName,
                                    lAttachFileName2, lAttachFileName3);
}
