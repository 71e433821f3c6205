#pragma once
#include <QString>
#include <stdexcept>

namespace platform {
class RecordSet;
}

// The component's one creatable class. It keeps no state: each method opens a window
// modally and returns when the window closes. A failure the window did not handle is
// thrown as std::exception; NijeDostupno says that the window cannot be had (the composer's
// module is missing, or the browser engine would refuse to run).
class clsSlanjeEMaila {
 public:
  struct NijeDostupno : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  void SlanjePrekoRecordseta(platform::RecordSet& rs, int Parametar);
  void SlanjeBezRecordSeta(int Parametar);
  void SlanjeFajlaPrekoEMaila(int Parametar, const QString& Subject, const QString& Recepients, const QString& CC,
                              const QString& BCC, const QString& Poruka, const QString& lAttachFileName,
                              const QString& lAttachFileName2 = {}, const QString& lAttachFileName3 = {});
};
