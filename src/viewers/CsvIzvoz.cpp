#include "viewers/CsvIzvoz.h"

#include "platform/RecordSet.h"

namespace viewers {

CsvIzvoz::CsvIzvoz(platform::RecordSet& rs, const CsvPostavke& postavke, int velicinaSerije)
    : rs_(rs), format_(postavke), velicinaSerije_(velicinaSerije) {}

CsvIzvoz::~CsvIzvoz() { odustani(); }

bool CsvIzvoz::otvori(const QString& datoteka) {
  if (velicinaSerije_ < 1) {
    greska_ = QStringLiteral("Broj zapisa u jednom spremanju mora biti barem 1.");
    return false;
  }
  datoteka_ = std::make_unique<QSaveFile>(datoteka);
  if (!datoteka_->open(QIODevice::WriteOnly)) {
    greska_ = datoteka_->errorString();
    datoteka_.reset();
    return false;
  }
  QByteArray pocetak = CsvFormat::oznakaRedoslijeda();
  CsvFormat::dodajRed(pocetak, format_.zaglavlje(rs_));
  rs_.MoveFirst();
  return pisi(pocetak);
}

bool CsvIzvoz::gotovo() const { return rs_.Eof(); }

int CsvIzvoz::sljedecaSerija() {
  if (!datoteka_) return 0;
  serija_.clear();
  int n = 0;
  for (; n < velicinaSerije_ && !rs_.Eof(); ++n, rs_.MoveNext()) CsvFormat::dodajRed(serija_, format_.red(rs_));
  return pisi(serija_) ? n : 0;
}

bool CsvIzvoz::pisi(const QByteArray& bajtovi) {
  if (datoteka_->write(bajtovi) == bajtovi.size()) return true;
  greska_ = datoteka_->errorString();
  odustani();
  return false;
}

bool CsvIzvoz::zavrsi() {
  if (!datoteka_) return false;
  const bool ok = datoteka_->commit();
  if (!ok) greska_ = datoteka_->errorString();
  datoteka_.reset();
  return ok;
}

void CsvIzvoz::odustani() {
  if (datoteka_) datoteka_->cancelWriting();
  datoteka_.reset();
}

}  // namespace viewers
