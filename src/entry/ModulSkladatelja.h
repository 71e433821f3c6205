#pragma once
// The composer and its editor (Qt WebEngine) live in a module of their own,
// libVelkorSlanjeEMaila26-composer.so beside the library, which the library opens on the
// first call of a composer method: a host that only sends files never loads the browser
// engine. The module exports one C function; it returns the table below. Both halves come
// from one build (the version is checked), so the table may pass C++ objects.
#include <string>

#include "viewers/ReportMailHook.h"

namespace platform {
class RecordSet;
}

namespace sucelje {

// What the library lends the module: its copy of the viewers cannot reach the send form.
struct SkladateljKuke {
  viewers::ReportMailHook posaljiIzvjestaj;
};

// Each opens the composer modally; false with the reason in *greska when it failed.
struct Skladatelj {
  bool (*prekoRecordseta)(platform::RecordSet& rs, std::string* greska);
  bool (*bezRecordSeta)(std::string* greska);
};

// The module's entry: nullptr when it was built for another version of the library.
using SkladateljUlaz = const Skladatelj* (*)(const char* verzija, const SkladateljKuke* kuke);
inline constexpr const char* kSkladateljUlaz = "VelkorSlanjeEMaila26_Skladatelj";
inline constexpr const char* kSkladateljDatoteka = "libVelkorSlanjeEMaila26-composer.so";

// In the library: the loaded module's table (loading it on the first call), or
// clsSlanjeEMaila::NijeDostupno when the module is missing or of another build.
const Skladatelj& skladatelj();

// In the library (Kuke.cpp): the hooks the module gets.
const SkladateljKuke& kukeZaSkladatelja();

}  // namespace sucelje
