#pragma once
#include <QList>
#include <QString>
#include <QVariant>

class QSqlQuery;

namespace platform {

// Qt's SQLite driver reports DATE, DATETIME and DECIMAL columns as text. The columns are
// typed from their declared types instead, as the host's SQL Server types them.
// The ADO type code for a declared column type ("DECIMAL(12,2)", "datetime"); 0 when the
// declaration says nothing the driver does not already know.
int adoTipDeklaracije(const QString& deklaracija);
// For an executed SQLite query: per result column the ADO type of its declaration, 0 where
// there is none (an expression) or it adds nothing; empty for other drivers.
QList<int> deklariraniTipovi(const QSqlQuery& upit);
// A value as the driver gave it, in the column's declared type (text that is no valid
// date or number is kept as it is).
QVariant uDeklariraniTip(const QVariant& v, int adoTip);

}  // namespace platform
