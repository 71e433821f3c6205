#pragma once
#include <QString>

namespace viewers {

// How the report window e-mails its PDF: through the installed hook, which the component
// points at the send form's Prikaži (the send form lives in a module that depends on this
// one). No hook: the PDF is written and nothing is sent.
using ReportMailHook = void (*)(const QString& Subject, const QString& Recepients, const QString& CC,
                                const QString& BCC, const QString& Poruka, const QString& lAttachFileName,
                                const QString& lAttachFileName2, const QString& lAttachFileName3);
void setReportMailHook(ReportMailHook hook);
ReportMailHook reportMailHook();

}  // namespace viewers
