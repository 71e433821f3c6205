#pragma once
// What the parts of the C interface share: the record-set handle, the call wrapper that turns
// exceptions into result codes, and the application object. No C++ exception crosses the
// interface.
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "VelkorSlanjeEMaila26.h"
#include "entry/clsSlanjeEMaila.h"
#include "platform/RecordSet.h"

struct VelkorRecordSet {
  platform::RecordSet rs;
  std::vector<std::string> imena;                // field names as UTF-8, for FieldName
  std::optional<QList<QList<QVariant>>> redovi;  // read-back copy, dropped when rows change
  std::string vrijednost;                        // the text last returned by Value
};

namespace sucelje {

struct NevaljaniArgument : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void postaviGresku(const clsSlanjeEMaila* obj, std::string tekst);

// Makes sure a Qt application object exists (see CSucelje.cpp); throws when the windows
// cannot open (trebajuProzori) for a reason the host is told.
void osigurajAplikaciju(bool trebajuProzori);

// Joins the component's modules through their hooks; Kuke.cpp, the only place that does.
void poveziKuke();

QString uQString(const char* s);
const char* obavezan(const char* s, const char* ime);
int32_t obavezan(const int32_t* p);

// Runs a call that opens a window: on the GUI thread, one at a time, every failure turned
// into a result code with its text on obj.
int32_t pozovi(clsSlanjeEMaila* obj, const std::function<void()>& poziv);

// The host's set for a window; the window may sort it, so the read-back copy goes.
platform::RecordSet& skupZaProzor(VelkorRecordSet* rs);

}  // namespace sucelje
