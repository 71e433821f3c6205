#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

#include "dns/ReverseLookup.h"
#include "dns/modMXQuery.h"

namespace modMXQuery {

namespace {

constexpr int kReverseTimeoutMs = 2000;

QMutex configMutex;
DnsConfig processConfig;  // shared by every query in the process

QString resolverPath() {
  const QByteArray overridden = qgetenv("VELKOR_RESOLV_CONF");
  return overridden.isEmpty() ? QStringLiteral("/etc/resolv.conf") : QString::fromLocal8Bit(overridden);
}

QString withoutTrailingDot(QString name) {
  if (name.endsWith(QLatin1Char('.'))) name.chop(1);
  return name;
}

// nameserver lines in order (each address on them); the domain from the last "domain"
// line, else the first entry of the last "search" line.
void readResolverFile(const QString& path, QStringList* servers, QString* domain) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  static const QRegularExpression blanks(QStringLiteral("[\\s,]+"));
  QString fromDomain, fromSearch;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';'))) continue;
    const QStringList words = line.split(blanks, Qt::SkipEmptyParts);
    if (words.size() < 2) continue;
    if (words[0] == QLatin1String("nameserver")) *servers << words.mid(1);
    else if (words[0] == QLatin1String("domain")) fromDomain = withoutTrailingDot(words[1]);
    else if (words[0] == QLatin1String("search")) fromSearch = withoutTrailingDot(words[1]);
  }
  *domain = fromDomain.isEmpty() ? fromSearch : fromDomain;
}

QString baseDomainOf(const QString& local) {
  const QStringList parts = local.split(QLatin1Char('.'));
  if (parts.size() < 2) return local;
  return parts[parts.size() - 2] + QLatin1Char('.') + parts.last();
}

}  // namespace

DnsConfig discover() {
  DnsConfig found;
  QString domain;
  readResolverFile(resolverPath(), &found.servers, &domain);
  found.localDomain = domain;
  if (domain.isEmpty() && !found.servers.isEmpty()) {
    // The first server's own name tells the domain the machine sits in.
    const QString name = reverseLookup(found.servers.first(), found.servers.first(), kReverseTimeoutMs);
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) found.localDomain = name.mid(dot + 1);
  }
  found.baseDomain = baseDomainOf(found.localDomain);
  QMutexLocker lock(&configMutex);
  processConfig = found;
  return found;
}

DnsConfig currentConfig() {
  QMutexLocker lock(&configMutex);
  return processConfig;
}

void resetConfig() {
  QMutexLocker lock(&configMutex);
  processConfig = {};
}

}  // namespace modMXQuery
