#include "lookup/UpitKomitenata.h"

#include "core/Pomocne.h"

QString SqlPretrageKomitenata(const QString& tekst, bool odPocetka) {
  const QString uzorak = (odPocetka ? QString() : QStringLiteral("%")) + PripremiZaSQL(tekst);
  // The text is the host's own: every backend runs it unchanged.
  return QStringLiteral(
             "SELECT DISTINCT ImeKomit1 as Naziv,eMail as eMail FROM dbo.Komitent K "
             "WHERE LEN(eMail)>0 AND (ImeKomit1 LIKE '") +
         uzorak + QStringLiteral("%' OR eMail LIKE '") + uzorak + QStringLiteral("%') ") +
         QStringLiteral(" ORDER BY ImeKomit1");
}
