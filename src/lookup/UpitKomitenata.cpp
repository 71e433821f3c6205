#include "lookup/UpitKomitenata.h"

namespace lookup {

QString SqlPretrageKomitenata(const QString& tekst, bool odPocetka,
                              const std::function<QString(const QString&)>& literal) {
  const QString uzorak = literal((odPocetka ? QString() : QStringLiteral("%")) + tekst + QLatin1Char('%'));
  // The statement is the host's own: every backend runs it unchanged.
  return QStringLiteral(
             "SELECT DISTINCT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
             "WHERE LEN(eMail)>0 AND (ImeKomit1 LIKE ") +
         uzorak + QStringLiteral(" OR eMail LIKE ") + uzorak + QStringLiteral(") ") +
         QStringLiteral(" ORDER BY ImeKomit1");
}

}  // namespace lookup
