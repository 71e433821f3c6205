#include "composer/PlanDostave.h"

#include <QRegularExpression>
#include <algorithm>

#include "dns/modMXQuery.h"

namespace composer {

QStringList razdvojiAdrese(const QString& lista) {
  static const QRegularExpression granica(QStringLiteral("[;,]"));
  QStringList out;
  for (const QString& dio : lista.split(granica)) {
    const QString a = dio.trimmed();
    if (!a.isEmpty()) out << a;
  }
  return out;
}

QString normaliziraneAdrese(const QString& lista) { return razdvojiAdrese(lista).join(QLatin1Char(';')); }

QList<DostavaDomeni> planDostave(const QString& to, const QString& cc, const QString& bcc, QStringList* bezDomene) {
  QList<DostavaDomeni> plan;
  QStringList DostavaDomeni::*const polja[] = {&DostavaDomeni::to, &DostavaDomeni::cc, &DostavaDomeni::bcc};
  const QString* liste[] = {&to, &cc, &bcc};
  for (int i = 0; i < 3; ++i) {
    for (const QString& adresa : razdvojiAdrese(*liste[i])) {
      const qsizetype at = adresa.lastIndexOf(QLatin1Char('@'));
      const QString domena = at < 0 ? QString() : adresa.mid(at + 1).toLower();
      if (domena.isEmpty()) {
        if (bezDomene) *bezDomene << adresa;
        continue;
      }
      auto it = std::find_if(plan.begin(), plan.end(), [&](const DostavaDomeni& d) { return d.domena == domena; });
      if (it == plan.end()) it = plan.insert(plan.end(), DostavaDomeni{domena, {}, {}, {}});
      ((*it).*polja[i]) << adresa;
    }
  }
  return plan;
}

QStringList posluziteljiDomene(const QString& domena, QString* razlog, bool* privremeno) {
  try {
    const modMXQuery::Exchangers e = modMXQuery::exchangersFor(domena);
    if (e.hosts.isEmpty()) *razlog = e.reason;
    if (privremeno) *privremeno = e.temporary;
    return e.hosts;
  } catch (const modMXQuery::MXQueryError& e) {
    *razlog = e.description;
    if (privremeno) *privremeno = true;  // the query could not be sent or got no answer
  }
  return {};
}

}  // namespace composer
