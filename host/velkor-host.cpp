// A small host program: it knows the component only through its public header and
// dlopen, as a business program does, and calls its three methods from the command line.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "VelkorSlanjeEMaila26.h"

#ifndef VELKOR_LIBRARY_PATH
#define VELKOR_LIBRARY_PATH VELKOR_LIBRARY_NAME
#endif
#ifndef VELKOR_SAMPLE_DB
#define VELKOR_SAMPLE_DB "komitenti.sqlite"
#endif

namespace {

const char* const kUpute =
    "Upotreba: velkor-host [--library PUTANJA] NAČIN\n"
    "  --demo                 (zadano) napravi primjer izvještaja i otvori formu za slanje\n"
    "  --subject T --to A [--cc A] [--bcc A] [--message T]\n"
    "        [--attach F] [--attach2 F] [--attach3 F]\n"
    "                         otvori formu za slanje s tim podacima\n"
    "  --compose [DATOTEKA]   otvori uređivač HTML poruke (s dokumentom DATOTEKA)\n"
    "  --mailing [--query T] [--sql-driver QSQLITE|QPSQL|QODBC] [--sql-connection OPCIJE]\n"
    "                         otvori uređivač s primateljima iz SQL upita (polja EMail, Ime)\n"
    "                         (OPCIJE: database=...;host=...;port=...;user=...;password=...)\n"
    "                         bez --query: primjer baze komitenata " VELKOR_SAMPLE_DB
    "\n"
    "                         (--sql je drugo ime za --query)\n"
    "  --grid [--query T]     prikaži zapise SQL upita u tablici (zadano: komitenti)\n"
    "  --export F [--query T] zapiši zapise u F (.csv ili .xlsx), bez prozora\n"
    "  --report [--query T] [--title T] [--to A]\n"
    "                         izvještaj sa zapisima upita: pregled, ispis, PDF, e-mail\n";

// The component's functions, looked up by name.
struct Komponenta {
  void* biblioteka = nullptr;
  decltype(&clsSlanjeEMaila_Create) Create = nullptr;
  decltype(&clsSlanjeEMaila_Release) Release = nullptr;
  decltype(&clsSlanjeEMaila_ErrorText) ErrorText = nullptr;
  decltype(&clsSlanjeEMaila_SlanjePrekoRecordseta) SlanjePrekoRecordseta = nullptr;
  decltype(&clsSlanjeEMaila_SlanjeBezRecordSeta) SlanjeBezRecordSeta = nullptr;
  decltype(&clsSlanjeEMaila_SlanjeFajlaPrekoEMaila) SlanjeFajlaPrekoEMaila = nullptr;
  decltype(&VelkorRecordSet_OpenQuery) OpenQuery = nullptr;
  decltype(&VelkorRecordSet_RecordCount) RecordCount = nullptr;
  decltype(&VelkorRecordSet_Release) RsRelease = nullptr;
  decltype(&VelkorRecordSet_FreeText) FreeText = nullptr;
};

template <class F>
bool nadji(void* lib, const char* ime, F& f) {
  f = reinterpret_cast<F>(dlsym(lib, ime));
  if (!f) std::fprintf(stderr, "U komponenti nema funkcije %s\n", ime);
  return f != nullptr;
}

bool ucitaj(const std::string& putanja, Komponenta& k) {
  k.biblioteka = dlopen(putanja.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!k.biblioteka) {
    std::fprintf(stderr, "Komponenta se ne može učitati: %s\n", dlerror());
    return false;
  }
  void* l = k.biblioteka;
  return nadji(l, "clsSlanjeEMaila_Create", k.Create) && nadji(l, "clsSlanjeEMaila_Release", k.Release) &&
         nadji(l, "clsSlanjeEMaila_ErrorText", k.ErrorText) &&
         nadji(l, "clsSlanjeEMaila_SlanjePrekoRecordseta", k.SlanjePrekoRecordseta) &&
         nadji(l, "clsSlanjeEMaila_SlanjeBezRecordSeta", k.SlanjeBezRecordSeta) &&
         nadji(l, "clsSlanjeEMaila_SlanjeFajlaPrekoEMaila", k.SlanjeFajlaPrekoEMaila) &&
         nadji(l, "VelkorRecordSet_OpenQuery", k.OpenQuery) && nadji(l, "VelkorRecordSet_RecordCount", k.RecordCount) &&
         nadji(l, "VelkorRecordSet_Release", k.RsRelease) && nadji(l, "VelkorRecordSet_FreeText", k.FreeText);
}

// Options: "--name value" pairs and the bare flags --demo, --compose, --mailing.
bool procitajOpcije(int argc, char** argv, std::map<std::string, std::string>& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--demo" || a == "--compose" || a == "--mailing" || a == "--help" || a == "--grid" || a == "--report") {
      o[a] = "1";
    } else if (a.rfind("--", 0) == 0 && i + 1 < argc) {
      o[a == "--query" ? "--sql" : a] = argv[++i];
    } else if (a.rfind("--", 0) != 0 && !o.count("--document")) {
      // The composer opens a document named on its host's command line.
      o["--document"] = a;
    } else {
      std::fprintf(stderr, "Nepoznata ili nepotpuna opcija: %s\n\n%s", a.c_str(), kUpute);
      return false;
    }
  }
  return true;
}

std::string opcija(const std::map<std::string, std::string>& o, const char* ime, const std::string& zadano = {}) {
  auto it = o.find(ime);
  return it == o.end() ? zadano : it->second;
}

// What a business program does before it e-mails a report: writes the report to a file.
std::string napraviIzvjestaj() {
  char predlozak[] = "/tmp/velkor-izvjestaj-XXXXXX";
  const char* mapa = mkdtemp(predlozak);
  if (!mapa) return {};
  const std::string put = std::string(mapa) + "/Izvještaj o prodaji - ožujak 2026.csv";
  std::ofstream f(put, std::ios::binary);
  f << "Šifra;Kupac;Mjesto;Iznos (EUR)\r\n"
       "1001;Čokolada Đurđevac d.o.o.;Đurđevac;1.234,50\r\n"
       "1002;Šumarija Žužić j.d.o.o.;Čakovec;987,00\r\n"
       "1003;Ćevabdžinica Šaran;Šibenik;45,90\r\n"
       "1004;Ljekarna Žitnjak;Zagreb;2.310,15\r\n"
       ";Ukupno;;4.577,55\r\n";
  return f ? put : std::string();
}

int prijavi(const Komponenta& k, clsSlanjeEMaila* obj, int32_t rezultat) {
  if (rezultat >= 0) return 0;
  std::fprintf(stderr, "Greška (%d): %s\n", int(rezultat), k.ErrorText(obj));
  return 1;
}

int posaljiDatoteku(const Komponenta& k, clsSlanjeEMaila* obj, const std::map<std::string, std::string>& o) {
  const int32_t parametar = 0;
  const std::string s[] = {opcija(o, "--subject"), opcija(o, "--to"),      opcija(o, "--cc"),
                           opcija(o, "--bcc"),     opcija(o, "--message"), opcija(o, "--attach"),
                           opcija(o, "--attach2"), opcija(o, "--attach3")};
  return prijavi(k, obj,
                 k.SlanjeFajlaPrekoEMaila(obj, &parametar, s[0].c_str(), s[1].c_str(), s[2].c_str(), s[3].c_str(),
                                          s[4].c_str(), s[5].c_str(), s[6].c_str(), s[7].c_str()));
}

int demo(const Komponenta& k, clsSlanjeEMaila* obj) {
  const std::string izvjestaj = napraviIzvjestaj();
  if (izvjestaj.empty()) {
    std::fprintf(stderr, "Primjer izvještaja se ne može napraviti.\n");
    return 1;
  }
  std::printf("Izvještaj: %s\n", izvjestaj.c_str());
  std::fflush(stdout);
  const std::map<std::string, std::string> o = {
      {"--subject", "Izvještaj o prodaji za ožujak 2026."},
      {"--to", "kupac@example.com"},
      {"--message",
       "Poštovani,\n\nu prilogu Vam šaljemo izvještaj o prodaji za ožujak 2026. godine.\n\n"
       "Srdačan pozdrav,\nRačunovodstvo"},
      {"--attach", izvjestaj}};
  const int izlaz = posaljiDatoteku(k, obj, o);
  // The form removes the report when the user leaves it; what is left is ours to clean up.
  std::remove(izvjestaj.c_str());
  rmdir(izvjestaj.substr(0, izvjestaj.rfind('/')).c_str());
  return izlaz;
}

// The records of --sql (default: the given query on the bundled sample database); NULL
// after printing why the query could not be run.
VelkorRecordSet* otvoriUpit(const Komponenta& k, const std::map<std::string, std::string>& o, const char* zadaniUpit) {
  const bool primjer = !o.count("--sql");
  const std::string sql = opcija(o, "--sql", zadaniUpit);
  const std::string veza =
      opcija(o, "--sql-connection",
             primjer ? std::string("database=") + VELKOR_SAMPLE_DB + ";options=QSQLITE_OPEN_READONLY" : "");
  char* greska = nullptr;
  VelkorRecordSet* rs = k.OpenQuery(opcija(o, "--sql-driver", "QSQLITE").c_str(), veza.c_str(), sql.c_str(), &greska);
  if (!rs) {
    std::fprintf(stderr, "Greška: %s\n", greska ? greska : "");
    k.FreeText(greska);
  }
  return rs;
}

int mailing(const Komponenta& k, clsSlanjeEMaila* obj, const std::map<std::string, std::string>& o) {
  // Without a query: the sample customers that have an address, under the field names the
  // composer reads.
  VelkorRecordSet* rs =
      otvoriUpit(k, o, "SELECT eMail AS EMail, ImeKomit1 AS Ime FROM Komitent WHERE LTRIM(RTRIM(eMail)) <> ''");
  if (!rs) return 1;
  std::printf("Zapisa: %d\n", int(k.RecordCount(rs)));
  const int32_t parametar = 0;
  const int izlaz = prijavi(k, obj, k.SlanjePrekoRecordseta(obj, &rs, &parametar));
  std::printf("Zapisa nakon slanja: %d\n", int(k.RecordCount(rs)));
  k.RsRelease(rs);
  return izlaz;
}

}  // namespace

// ---- the record grid and export over an SQL query ----
namespace {

struct Pregled {
  decltype(&clsSlanjeEMaila_PrikaziZapise) PrikaziZapise = nullptr;
  decltype(&clsSlanjeEMaila_IzveziZapise) IzveziZapise = nullptr;
};

int pregled(const Komponenta& k, clsSlanjeEMaila* obj, const std::map<std::string, std::string>& o) {
  Pregled p;
  if (!nadji(k.biblioteka, "clsSlanjeEMaila_PrikaziZapise", p.PrikaziZapise) ||
      !nadji(k.biblioteka, "clsSlanjeEMaila_IzveziZapise", p.IzveziZapise))
    return 1;
  VelkorRecordSet* rs = otvoriUpit(k, o,
                                   "SELECT Mjesto, ImeKomit1 AS Ime, eMail AS EMail, SifKomit AS Šifra "
                                   "FROM Komitent ORDER BY Mjesto");
  if (!rs) return 1;
  int izlaz;
  if (o.count("--export")) {
    izlaz = prijavi(k, obj, p.IzveziZapise(obj, rs, opcija(o, "--export").c_str()));
    if (!izlaz) std::printf("Zapisano %d zapisa u %s\n", int(k.RecordCount(rs)), opcija(o, "--export").c_str());
  } else {
    izlaz = prijavi(k, obj, p.PrikaziZapise(obj, "Komitenti", rs, -1, -1, -1, ""));
  }
  k.RsRelease(rs);
  return izlaz;
}

}  // namespace

// ---- the report window over an SQL query ----
namespace {

struct Izvjestaj {
  decltype(&clsSlanjeEMaila_PrikaziIzvjestaj) PrikaziIzvjestaj = nullptr;
  decltype(&VelkorRecordSet_FieldCount) FieldCount = nullptr;
  decltype(&VelkorRecordSet_Value) Value = nullptr;
};

// The rows as the report's text: one line a row, the fields separated by " | ".
std::string tekstZapisa(const Komponenta& k, const Izvjestaj& f, VelkorRecordSet* rs) {
  std::string tekst;
  for (int32_t r = 0; r < k.RecordCount(rs); ++r) {
    for (int32_t p = 0; p < f.FieldCount(rs); ++p) {
      const char* v = f.Value(rs, r, p);
      tekst += (p ? " | " : "") + std::string(v ? v : "");
    }
    tekst += '\n';
  }
  return tekst;
}

int izvjestaj(const Komponenta& k, clsSlanjeEMaila* obj, const std::map<std::string, std::string>& o) {
  Izvjestaj f;
  if (!nadji(k.biblioteka, "clsSlanjeEMaila_PrikaziIzvjestaj", f.PrikaziIzvjestaj) ||
      !nadji(k.biblioteka, "VelkorRecordSet_FieldCount", f.FieldCount) ||
      !nadji(k.biblioteka, "VelkorRecordSet_Value", f.Value))
    return 1;
  VelkorRecordSet* rs = otvoriUpit(k, o,
                                   "SELECT SifKomit AS Šifra, ImeKomit1 AS Ime, Mjesto, eMail AS EMail "
                                   "FROM Komitent ORDER BY ImeKomit1");
  if (!rs) return 1;
  const std::string tekst = tekstZapisa(k, f, rs);
  const int izlaz = prijavi(k, obj,
                            f.PrikaziIzvjestaj(obj, opcija(o, "--title", "Komitenti").c_str(), tekst.c_str(), rs,
                                               opcija(o, "--to").c_str(), 1));
  k.RsRelease(rs);
  return izlaz;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> o;
  if (!procitajOpcije(argc, argv, o)) return 2;
  if (o.count("--help")) {
    std::fputs(kUpute, stdout);
    return 0;
  }
  Komponenta k;
  if (!ucitaj(opcija(o, "--library", VELKOR_LIBRARY_PATH), k)) return 1;
  clsSlanjeEMaila* obj = k.Create();
  if (!obj) return 1;
  int izlaz;
  if (o.count("--report")) {
    izlaz = izvjestaj(k, obj, o);
  } else if (o.count("--grid") || o.count("--export")) {
    izlaz = pregled(k, obj, o);
  } else if (o.count("--mailing")) {
    izlaz = mailing(k, obj, o);
  } else if (o.count("--compose")) {
    const int32_t parametar = 0;
    izlaz = prijavi(k, obj, k.SlanjeBezRecordSeta(obj, &parametar));
  } else if (o.count("--subject") || o.count("--to") || o.count("--attach")) {
    izlaz = posaljiDatoteku(k, obj, o);
  } else {
    izlaz = demo(k, obj);
  }
  k.Release(obj);
  // The library stays loaded: its Qt application lives until the process ends.
  return izlaz;
}
