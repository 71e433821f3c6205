#include "viewers/ReportMailHook.h"

namespace viewers {

namespace {
ReportMailHook g_hook = nullptr;
}

void setReportMailHook(ReportMailHook hook) { g_hook = hook; }

ReportMailHook reportMailHook() { return g_hook; }

}  // namespace viewers
