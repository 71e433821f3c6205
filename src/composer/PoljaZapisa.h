#pragma once
#include <QString>
#include <stdexcept>

#include "platform/RecordSet.h"

namespace composer {

// A record's value as text; a field the record set does not have is an error (the
// record set gives "" for it, which would pass for a Null).
inline QString tekstPolja(const platform::RecordSet& rs, const QString& polje) {
  if (rs.FieldIndex(polje) < 0) throw std::runtime_error("U zapisima nema polja \"" + polje.toStdString() + "\".");
  return rs.Value(polje).toString();
}

}  // namespace composer
