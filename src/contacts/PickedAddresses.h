#pragma once
#include <QString>
#include <QStringList>

namespace contacts {

// The composer field's new text after OK in the address book: the old text is kept when it
// is more than 4 characters long (trimmed), and each picked entry is added after a ","
// unless it is blank or the field already holds that very address. Returns the field
// unchanged when nothing was added to a short field.
QString FieldWithPicked(const QString& field, const QStringList& picked);

}  // namespace contacts
