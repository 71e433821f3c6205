#pragma once
#include "platform/Report.h"

namespace viewers {

// The text viewer's report: the title "Naslov" over the multi-line body "Poruka".
platform::Report CRIspisPrikTeksta();

}  // namespace viewers
