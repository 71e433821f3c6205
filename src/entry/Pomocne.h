#pragma once
#include <QString>

class QWidget;

// Small helpers that every window shares.
bool ProvjeriEMailAdrese(const QString& adrese);
QString PripremiZaSQL(const QString& tekst);
// The component's common window settings (icon, font); the last step of each form's load.
void PostaviFormu(QWidget* forma);
