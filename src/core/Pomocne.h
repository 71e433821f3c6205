#pragma once
#include <QString>

// Small helpers that every window shares.
bool ProvjeriEMailAdrese(const QString& adrese);
QString PripremiZaSQL(const QString& tekst);
