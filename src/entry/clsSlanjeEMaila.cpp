#include "entry/clsSlanjeEMaila.h"

#include "composer/AddressBookHook.h"
#include "composer/frmMain.h"
#include "contacts/frmContacts.h"
#include "sender/frmSlanjeeMaila.h"

namespace {
// The composer knows the address book only through its hook; the component joins them.
frmMain* composerForm() {
  setAddressBookHook(&frmContacts::Prikaži);
  return frmMain::forma();
}
}  // namespace

void clsSlanjeEMaila::SlanjePrekoRecordseta(platform::RecordSet& rs, int) {
  composerForm()->PrikažiPrekoRS(rs);
}

void clsSlanjeEMaila::SlanjeBezRecordSeta(int) { composerForm()->PrikažiBezRS(); }

void clsSlanjeEMaila::SlanjeFajlaPrekoEMaila(int, const QString& Subject,
                                             const QString& Recepients, const QString& CC,
                                             const QString& BCC, const QString& Poruka,
                                             const QString& lAttachFileName,
                                             const QString& lAttachFileName2,
                                             const QString& lAttachFileName3) {
  frmSlanjeeMaila::forma()->Prikaži(Subject, Recepients, CC, BCC, Poruka, lAttachFileName,
                                    lAttachFileName2, lAttachFileName3);
}
