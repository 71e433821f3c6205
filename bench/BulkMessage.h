#pragma once
#include <QString>

// The personalised message of the bulk-send benchmark; bulk_smtplib.py builds the same.
inline QString bulkSubject(int i) { return QStringLiteral("Ponuda za kupca br. %1").arg(i); }

inline QString bulkBody(int i) {
  QString body = QStringLiteral("Poštovani kupče br. %1,\r\n\r\n").arg(i);
  for (int line = 0; line < 16; ++line)
    body += QStringLiteral("Redak %1 ponude: cijene su iskazane u eurima, isporuka "
                           "čeka vašu potvrdu.\r\n").arg(line + 1);
  return body + QStringLiteral("\r\nLijep pozdrav,\r\nVelkor d.o.o.");
}
