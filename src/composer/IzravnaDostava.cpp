// Direct delivery (no configured server, or "FIND"): each domain's addresses go in one
// message to that domain's mail exchangers, the most preferred first. A domain without one
// is a failure of its own; its mail never goes to this machine's exchanger or to an empty
// host.
#include <QScopeGuard>

#include "composer/PlanDostave.h"
#include "composer/TijekSlanja.h"
#include "mail/clsSendMail.h"

namespace composer {

// True when every domain took its message; *ijedna when at least one did. A single run
// shows each failed domain with its reason; a record's failure is logged by its record.
// With a record (zapis) the answer is whether its own domains took it: the customer has
// the mail then, whatever became of the copies, whose failures are noted once for the run.
// Domains that took it in an earlier round are not mailed again.
bool TijekSlanja::posaljiIzravno(const QString& to, const QString& cc, const QString& bcc, bool* ijedna,
                                 IzravniZapis* zapis) {
  QStringList bezDomene, domeneIzPlana;
  const QList<DostavaDomeni> plan = planDostave(to, cc, bcc, &bezDomene);
  for (const DostavaDomeni& d : plan) domeneIzPlana << d.domena;
  emit domene(domeneIzPlana);
  // Exchangers rarely have a certificate for their name; a configured server must.
  m_.setOpportunisticTls(true);
  const auto strogiTls = qScopeGuard([this] { m_.setOpportunisticTls(false); });
  bool sve = bezDomene.isEmpty() && !plan.isEmpty();
  for (int i = 0; i < plan.size(); ++i) {
    const DostavaDomeni& d = plan[i];
    emit domena(i);
    if (zapis && zapis->primile.contains(d.domena)) continue;
    QString razlog, host;
    bool poslano = false, privremeno = false;
    const QStringList hostovi = posluziteljiDomene(d.domena, &razlog, &privremeno);
    QString opis = d.domena + QStringLiteral(": ") + razlog;
    if (!hostovi.isEmpty()) {
      pripremiMotor(hostovi.first(), false);
      m_.setRecipient(d.to.join(QLatin1Char(';')));
      m_.setCcRecipient(d.cc.join(QLatin1Char(';')));
      m_.setBccRecipient(d.bcc.join(QLatin1Char(';')));
      m_.setRecipientDisplayName(QString());
      m_.setCcDisplayName(QString());
      postaviPoruku(predmet());
      postaviTijelo();
      // The exchangers in turn (RFC 5321 §5.1): the next one when this one could not be
      // reached, did not greet or failed for now; a refusal after the greeting is final.
      // The domain fails once, with the reason of every exchanger tried. Names from the
      // DNS are not checked again: one that does not resolve is a connection that failed.
      QString zašto;
      QStringList razlozi;
      m_.setSMTPHostValidation(0);
      for (const QString& h : hostovi) {
        host = h;
        m_.setSMTPHost(h);
        pozoviMotor([this] { m_.Send(); });
        poslano = uspjeh_ && !neuspio_;
        if (poslano) break;
        zašto = razlogNeuspjeha();
        razlozi << h + QStringLiteral(": ") + zašto;
        if (!m_.lastFailureAtConnect() && !m_.lastFailureTemporary()) break;
      }
      opis = razlozi.size() == 1 ? zašto : razlozi.join(QStringLiteral("\r\n"));
      privremeno = m_.lastFailureTemporary();
      if (poslano) zabilježiOdgovor(m_.acceptedReply());
    }
    const bool vlastita = !zapis || zapis->vlastite.contains(d.domena);
    if (poslano && zapis) {
      zapis->primile.insert(d.domena);
    } else if (!poslano && !vlastita) {
      zabilježiKopije(d.domena, opis);
    } else if (!poslano) {
      if (zapis) zapis->privremeno = zapis->privremeno || privremeno;
      privremeno_ = privremeno;
      razmjena_ = hostovi.isEmpty() ? QStringList() : m_.lastExchange();
      prijaviNeuspjeh(opis);
    }
    if (poslano) {
      *ijedna = true;
    } else {
      sve = false;
      if (!zapis)
        emit neuspjelo((d.to + d.cc + d.bcc).join(QLatin1Char(';')) + QLatin1Char(' ') +
                       (host.isEmpty() ? razlog : host));
    }
  }
  if (!zapis) return sve;
  for (const QString& d : std::as_const(zapis->vlastite))
    if (!zapis->primile.contains(d)) return false;
  return true;
}

}  // namespace composer
