#pragma once
#include "platform/Report.h"

// The text viewer's report: the title "Naslov" over the multi-line body "Poruka".
platform::Report CRIspisPrikTeksta();
