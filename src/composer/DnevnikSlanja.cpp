#include "composer/DnevnikSlanja.h"

#include <algorithm>

#include "viewers/CsvIzvoz.h"

namespace composer {

namespace {

const QString kPoslano = QStringLiteral("Poslano");
const QString kNijePoslano = QStringLiteral("Nije poslano");
const QString kOdgođeno = QStringLiteral("Odgođeno");

QString ishod(const PokusajSlanja& p) { return p.poslano ? kPoslano : p.odgođeno ? kOdgođeno : kNijePoslano; }

QString jednaLinija(QString tekst) {
  tekst.replace(QLatin1String("\r\n"), QLatin1String(" / "));
  tekst.replace(QLatin1Char('\n'), QLatin1String(" / "));
  return tekst.trimmed();
}

}  // namespace

void DnevnikSlanja::zapisPoslan(const platform::RecordSet& rs) {
  const QVariant b = rs.Bookmark();
  if (!b.isValid()) return;
  poslani_.insert(b.toLongLong());
  neuspjeli_.removeIf([&](const Neuspjeli& n) { return n.bookmark == b.toLongLong(); });
}

void DnevnikSlanja::zapisNeuspio(const platform::RecordSet& rs, const QString& razlog) {
  const QVariant b = rs.Bookmark();
  if (!b.isValid()) return;
  if (polja_.isEmpty())
    for (int i = 0; i < rs.FieldCount(); ++i) polja_ << platform::RecordField{rs.FieldName(i), rs.FieldType(i)};
  Neuspjeli n{b.toLongLong(), {}, razlog};
  for (int i = 0; i < rs.FieldCount(); ++i) n.vrijednosti << rs.Value(i);
  // A record that fails again keeps one row, with its latest reason.
  neuspjeli_.removeIf([&](const Neuspjeli& s) { return s.bookmark == n.bookmark; });
  neuspjeli_ << n;
}

bool DnevnikSlanja::poslan(const QVariant& bookmark) const {
  return bookmark.isValid() && poslani_.contains(bookmark.toLongLong());
}

bool DnevnikSlanja::imaNeposlanih(const platform::RecordSet& rs) const {
  platform::RecordSet c = rs.Clone();
  for (c.MoveFirst(); !c.Eof(); c.MoveNext())
    if (!poslan(c.Bookmark())) return true;
  return false;
}

platform::RecordSet DnevnikSlanja::kaoZapisi() const {
  platform::RecordSet rs({{QStringLiteral("Vrijeme"), platform::adDBTimeStamp},
                          {QStringLiteral("Adresa")},
                          {QStringLiteral("Ime")},
                          {QStringLiteral("Ishod")},
                          {QStringLiteral("Odgovor")}});
  for (const PokusajSlanja& p : pokusaji_) rs.AddRow({p.vrijeme, p.adresa, p.ime, ishod(p), jednaLinija(p.odgovor)});
  return rs;
}

platform::RecordSet DnevnikSlanja::neuspjeliZapisi() const {
  QList<platform::RecordField> polja = polja_;
  polja << platform::RecordField{QStringLiteral("Razlog")};
  platform::RecordSet rs(polja);
  for (const Neuspjeli& n : neuspjeli_) rs.AddRow(QList<QVariant>(n.vrijednosti) << jednaLinija(n.razlog));
  return rs;
}

QString DnevnikSlanja::kaoTekst() const {
  QString tekst;
  for (const PokusajSlanja& p : pokusaji_) {
    const QString primatelj = p.ime.isEmpty() ? p.adresa : p.ime + QStringLiteral(" <") + p.adresa + QLatin1Char('>');
    tekst += p.vrijeme.toString(QStringLiteral("dd.MM.yyyy. HH:mm:ss")) + QStringLiteral("  ") + ishod(p) +
             QStringLiteral("  ") + primatelj + QStringLiteral("  ") + jednaLinija(p.odgovor) + QStringLiteral("\r\n");
    for (const QString& r : p.razmjena) tekst += QStringLiteral("        ") + r + QStringLiteral("\r\n");
  }
  return tekst;
}

bool spremiCsv(platform::RecordSet& rs, const QString& datoteka, QString* greska) {
  viewers::CsvIzvoz izvoz(rs, viewers::CsvPostavke{}, 500);
  bool ok = izvoz.otvori(datoteka);
  while (ok && !izvoz.gotovo()) ok = izvoz.sljedecaSerija() > 0;
  ok = ok && izvoz.zavrsi();
  if (!ok && greska) *greska = izvoz.greska();
  return ok;
}

}  // namespace composer
