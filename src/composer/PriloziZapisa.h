#pragma once
#include <QList>
#include <QStringList>

namespace platform {
class RecordSet;
}

// Each customer's own files: the attachment box of a record run may hold personal fields
// ("/srv/racuni/{{BrojRacuna}}.pdf", or "{{Prilog}}" for a column of full paths), and
// several paths separated by ";", in the box or in a value.
namespace composer {

// The current record's paths, trimmed, empty ones left out.
QStringList priloziZapisa(const QString& prilozi, const platform::RecordSet& rs);

struct ZapisBezPriloga {
  qint64 bookmark;
  QString opis;  // "Name <address>: path, path"
};

// The records of rs with a file that is missing or cannot be read (rs's cursor is kept).
QList<ZapisBezPriloga> zapisiBezPriloga(const QString& prilozi, const platform::RecordSet& rs);

}  // namespace composer
