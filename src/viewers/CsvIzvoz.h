#pragma once
#include <QSaveFile>
#include <QString>
#include <memory>

#include "viewers/CsvFormat.h"

namespace platform {
class RecordSet;
}

namespace viewers {

// Writes a record set to a CSV file batch by batch. The file is replaced only when zavrsi()
// succeeds; until then (and after odustani() or a failure) an old file stays as it was.
class CsvIzvoz {
 public:
  CsvIzvoz(platform::RecordSet& rs, const CsvPostavke& postavke, int velicinaSerije);
  ~CsvIzvoz();

  // Starts the file with the byte-order mark and the header line, from the first record.
  bool otvori(const QString& datoteka);
  // Writes up to one batch of records; returns how many.
  int sljedecaSerija();
  bool gotovo() const;
  bool zavrsi();
  void odustani();
  QString greska() const { return greska_; }

 private:
  bool pisi(const QByteArray& bajtovi);

  platform::RecordSet& rs_;
  CsvFormat format_;
  int velicinaSerije_;
  std::unique_ptr<QSaveFile> datoteka_;
  QByteArray serija_;
  QString greska_;
};

}  // namespace viewers
