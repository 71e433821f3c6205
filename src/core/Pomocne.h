#pragma once
#include <QString>

namespace core {

// Small helpers that every window shares.
bool ProvjeriEMailAdrese(const QString& adrese);
QString PripremiZaSQL(const QString& tekst);

}  // namespace core
