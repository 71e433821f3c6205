#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// The composer's three stored values under the machine-wide key, each two fields joined
// by "%": SMTPIP (host, mode 1 FIND / 2 server / 3 proxy), SENDER (name, address) and
// MAILFORMAT ("True"/"False", encoding 0 MIME / 1 UUEncode).
namespace composer {

inline const QString kKljucPostavki = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system");

QString CitajPostavku(const QString& ime);  // "SMTPIP", "SENDER" or "MAILFORMAT"
// The first two fields of a stored value split at "%" ("" for a field that is missing).
QStringList PoljaPostavke(const QString& vrijednost);
// SENDER's name and address: split at the last "%", so a name holding "%" stays whole.
QStringList PoljaSendera(const QString& vrijednost);

// Each writes its value; a refused write is shown in a box over parent and gives false.
// One value of the composer's key to the per-user store; a failure is boxed (false).
bool SpremiPostavku(const QString& ime, const QString& vrijednost, QWidget* parent = nullptr);
bool SpremiSMTPIP(const QString& host, qint16 mode, QWidget* parent = nullptr);
bool SpremiSender(const QString& ime, const QString& adresa, QWidget* parent = nullptr);
bool SpremiMailFormat(bool html, int encoding, QWidget* parent = nullptr);

// The host of the environment's https_proxy (else http_proxy): what the platform's
// "ProxyServer" value holds before its ":". Empty without a proxy.
QString SistemskiProxy();

// MAILRUN, stored only once changed: whether a record run goes on past a failed record
// ("True"/"False") and at most how many messages it sends a minute (0 no limit). Without
// it a run aborts at the first failure and sends at once, as it always has.
struct PostavkeSlanja {
  bool nastaviNakonGreške = false;
  int porukaUMinuti = 0;
  bool operator==(const PostavkeSlanja&) const = default;
};
PostavkeSlanja CitajPostavkeSlanja();
bool SpremiPostavkeSlanja(const PostavkeSlanja& p, QWidget* parent = nullptr);
// ODJAVA: the address that takes a mailing's unsubscribe requests; empty, the sender's.
QString CitajAdresuOdjave();
bool SpremiAdresuOdjave(const QString& adresa, QWidget* parent = nullptr);

}  // namespace composer
