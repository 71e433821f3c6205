#include "platform/SqliteFunkcije.h"

#include <sqlite3.h>
#include <QCollator>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

namespace platform {

namespace {

struct Znak {
  enum Vrsta { Slovo, Jedan, Niz } vrsta;
  uint c = 0;
};

QList<Znak> rastaviUzorak(const QList<uint>& uzorak, uint escape, bool imaEscape) {
  QList<Znak> out;
  for (int i = 0; i < uzorak.size(); ++i) {
    const uint c = uzorak[i];
    if (imaEscape && c == escape && i + 1 < uzorak.size()) out << Znak{Znak::Slovo, uzorak[++i]};
    else if (c == U'%') out << Znak{Znak::Niz};
    else if (c == U'_') out << Znak{Znak::Jedan};
    else out << Znak{Znak::Slovo, c};
  }
  return out;
}

QString iz(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return QString::fromUtf8(p, sqlite3_value_bytes(v));
}

void likeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL result
  QChar escape;
  if (argc == 3) {
    const QString e = iz(argv[2]);
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
    escape = e[0];
  }
  sqlite3_result_int(ctx, likeOdgovara(iz(argv[0]), iz(argv[1]), escape) ? 1 : 0);
}

void lenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  sqlite3_result_int(ctx, duljinaBezZavrsnihRazmaka(iz(argv[0])));
}

int hrvatskiRedoslijed(void* arg, int n1, const void* s1, int n2, const void* s2) {
  const auto* collator = static_cast<const QCollator*>(arg);
  const QString a = QString::fromUtf8(static_cast<const char*>(s1), n1);
  const QString b = QString::fromUtf8(static_cast<const char*>(s2), n2);
  const int c = collator->compare(a, b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void obrisiCollator(void* arg) { delete static_cast<QCollator*>(arg); }

sqlite3* sqliteHandle(const QSqlDatabase& db) {
  if (!db.driver()) return nullptr;
  const QVariant h = db.driver()->handle();
  if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
  return *static_cast<sqlite3* const*>(h.constData());
}

}  // namespace

bool likeOdgovara(const QString& uzorak, const QString& tekst, QChar escape) {
  const QList<uint> u = uzorak.toCaseFolded().toUcs4();
  const QList<uint> t = tekst.toCaseFolded().toUcs4();
  const uint esc = escape.isNull() ? 0 : QString(escape).toCaseFolded().toUcs4().value(0);
  const QList<Znak> p = rastaviUzorak(u, esc, !escape.isNull());
  // Greedy walk remembering the last "%": enough for patterns of "%" and "_" only.
  qsizetype pi = 0, ti = 0, zvijezda = -1, povratak = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi].vrsta != Znak::Niz && (p[pi].vrsta == Znak::Jedan || p[pi].c == t[ti])) {
      ++pi;
      ++ti;
    } else if (pi < p.size() && p[pi].vrsta == Znak::Niz) {
      zvijezda = pi++;
      povratak = ti;
    } else if (zvijezda >= 0) {
      pi = zvijezda + 1;
      ti = ++povratak;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi].vrsta == Znak::Niz) ++pi;
  return pi == p.size();
}

int duljinaBezZavrsnihRazmaka(const QString& tekst) {
  qsizetype n = tekst.size();
  while (n > 0 && tekst[n - 1] == QLatin1Char(' ')) --n;
  return int(tekst.left(n).toUcs4().size());
}

bool registrirajSqliteFunkcije(const QSqlDatabase& db) {
  sqlite3* h = sqliteHandle(db);
  if (!h) return false;
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  bool ok = sqlite3_create_function_v2(h, "LEN", 1, flags, nullptr, lenFn, nullptr, nullptr, nullptr) == SQLITE_OK;
  ok = ok && sqlite3_create_function_v2(h, "like", 2, flags, nullptr, likeFn, nullptr, nullptr, nullptr) == SQLITE_OK;
  ok = ok && sqlite3_create_function_v2(h, "like", 3, flags, nullptr, likeFn, nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) return false;
  auto* collator = new QCollator(QLocale(QLocale::Croatian, QLocale::Croatia));
  collator->setCaseSensitivity(Qt::CaseInsensitive);
  // UTF-8 like the built-in one, or SQLite would keep preferring the built-in for UTF-8 files.
  if (sqlite3_create_collation_v2(h, "NOCASE", SQLITE_UTF8, collator, hrvatskiRedoslijed, obrisiCollator) !=
      SQLITE_OK) {
    delete collator;  // SQLite does not destroy it when registration fails
    return false;
  }
  return true;
}

}  // namespace platform
