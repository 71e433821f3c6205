#include "viewers/ReportMailHook.h"

namespace {
ReportMailHook g_hook = nullptr;
}

void setReportMailHook(ReportMailHook hook) { g_hook = hook; }

ReportMailHook reportMailHook() { return g_hook; }
