#include "composer/PostavkeComposera.h"

#include <QUrl>

#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"

namespace composer {

bool SpremiPostavku(const QString& ime, const QString& vrijednost, QWidget* parent) {
  QString greska;
  if (platform::UpisiRegistar(platform::kHKeyLocalMachine, kKljucPostavki, ime, vrijednost, &greska)) return true;
  platform::dialogs().messageBox(parent, QStringLiteral("Postavka %1 nije spremljena: %2").arg(ime, greska),
                                 platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                                 QStringLiteral("Slanje E-mail-a"));
  return false;
}

QString CitajPostavku(const QString& ime) {
  return platform::CitajRegistar(platform::kHKeyLocalMachine, kKljucPostavki, ime);
}

QStringList PoljaPostavke(const QString& vrijednost) {
  QStringList polja = vrijednost.split(QLatin1Char('%'));
  while (polja.size() < 2) polja << QString();
  return polja.mid(0, 2);
}

QStringList PoljaSendera(const QString& vrijednost) {
  const qsizetype zadnji = vrijednost.lastIndexOf(QLatin1Char('%'));
  if (zadnji < 0) return {vrijednost, QString()};
  return {vrijednost.left(zadnji), vrijednost.mid(zadnji + 1)};
}

bool SpremiSMTPIP(const QString& host, qint16 mode, QWidget* parent) {
  return SpremiPostavku(QStringLiteral("SMTPIP"), host + QLatin1Char('%') + QString::number(mode), parent);
}

bool SpremiSender(const QString& ime, const QString& adresa, QWidget* parent) {
  return SpremiPostavku(QStringLiteral("SENDER"), ime + QLatin1Char('%') + adresa, parent);
}

bool SpremiMailFormat(bool html, int encoding, QWidget* parent) {
  return SpremiPostavku(
      QStringLiteral("MAILFORMAT"),
      (html ? QStringLiteral("True") : QStringLiteral("False")) + QLatin1Char('%') + QString::number(encoding), parent);
}

PostavkeSlanja CitajPostavkeSlanja() {
  const QStringList f = PoljaPostavke(CitajPostavku(QStringLiteral("MAILRUN")));
  PostavkeSlanja p;
  p.nastaviNakonGreške = f[0].compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
  p.porukaUMinuti = qMax(0, f[1].trimmed().toInt());
  return p;
}

bool SpremiPostavkeSlanja(const PostavkeSlanja& p, QWidget* parent) {
  return SpremiPostavku(QStringLiteral("MAILRUN"),
                        (p.nastaviNakonGreške ? QStringLiteral("True") : QStringLiteral("False")) + QLatin1Char('%') +
                            QString::number(qMax(0, p.porukaUMinuti)),
                        parent);
}

QString CitajAdresuOdjave() { return CitajPostavku(QStringLiteral("ODJAVA")).trimmed(); }

bool SpremiAdresuOdjave(const QString& adresa, QWidget* parent) {
  return SpremiPostavku(QStringLiteral("ODJAVA"), adresa.trimmed(), parent);
}

QString SistemskiProxy() {
  for (const char* ime : {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"}) {
    const QString v = qEnvironmentVariable(ime).trimmed();
    if (v.isEmpty()) continue;
    // "p:3128" without a scheme is a host and port too.
    const QUrl url = QUrl::fromUserInput(v.contains(QStringLiteral("://")) ? v : QStringLiteral("http://") + v);
    if (!url.host().isEmpty()) return url.host();
  }
  return {};
}

}  // namespace composer
