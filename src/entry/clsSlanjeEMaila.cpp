#include "entry/clsSlanjeEMaila.h"

#include "composer/frmMain.h"
#include "sender/frmSlanjeeMaila.h"

void clsSlanjeEMaila::SlanjePrekoRecordseta(platform::RecordSet& rs, int) {
  frmMain::forma()->PrikažiPrekoRS(rs);
}

void clsSlanjeEMaila::SlanjeBezRecordSeta(int) { frmMain::forma()->PrikažiBezRS(); }

void clsSlanjeEMaila::SlanjeFajlaPrekoEMaila(int, const QString& Subject,
                                             const QString& Recepients, const QString& CC,
                                             const QString& BCC, const QString& Poruka,
                                             const QString& lAttachFileName,
                                             const QString& lAttachFileName2,
                                             const QString& lAttachFileName3) {
  frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, lAttachFileName,
                                    lAttachFileName2, lAttachFileName3);
}
