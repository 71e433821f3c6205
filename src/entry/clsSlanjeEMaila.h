#pragma once
#include <QString>

namespace platform { class RecordSet; }

// The component's one creatable class. Each method opens a window modally and returns
// when it closes; a failure the window did not handle is thrown as std::exception.
class clsSlanjeEMaila {
 public:
  void SlanjePrekoRecordseta(platform::RecordSet& rs, int Parametar);
  void SlanjeBezRecordSeta(int Parametar);
  void SlanjeFajlaPrekoEMaila(int Parametar, const QString& Subject, const QString& Recepients,
                              const QString& CC, const QString& BCC, const QString& Poruka,
                              const QString& lAttachFileName, const QString& lAttachFileName2 = {},
                              const QString& lAttachFileName3 = {});
};
