#pragma once
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTemporaryFile>

#include "composer/RacunSlanja.h"

namespace mail {
class clsSendMail;
}

namespace composer {

class DnevnikSlanja;

// Copies of what a run sent in the Sent folder of the IMAP account of "Postavke": every
// message a server accepted, as the engine wrote it, kept in a temporary file while the run
// goes and appended after it over one IMAP session (the run's pace and retry rounds are not
// held up by a second server, and a session does not sit idle between messages), or one
// summary per record run. A failed copy never fails the send: it is logged and told.
class KopijeUPoslanom : public QObject {
  Q_OBJECT
 public:
  explicit KopijeUPoslanom(mail::clsSendMail& motor, QObject* parent = nullptr);

  // A run starts; no copies of a route whose program keeps its own (uzmi false).
  void pocni(bool uzmi, bool zapisi);
  // The attempt of one record (or the single message) is over.
  void zabilježi(bool poslano, const QString& ime, const QString& adrese);
  // The run is over: the copies go to the folder, a line to the log. The box's text when
  // not all of them went, else empty (napomena() until the next run).
  QString spremi(DnevnikSlanja& dnevnik, const QString& predmet, const QString& od, const QString& imeOd);
  QString napomena() const { return napomena_; }

 signals:
  // While the copies go: the user waits for them.
  void najava(const QString& tekst);

 private:
  struct Kopija {
    qint64 pocetak = 0, duljina = 0;
    QDateTime vrijeme;
    QString ime, adrese;
  };
  QByteArray sazetak(const QString& predmet, const QString& od, const QString& imeOd) const;

  mail::clsSendMail& m_;
  RacunPoslano racun_;
  bool uzmi_ = false, zapisi_ = false;
  QByteArray prihvacena_;  // the attempt's first message a server took
  std::unique_ptr<QTemporaryFile> spremnik_;
  QList<Kopija> kopije_;
  QString napomena_;
};

}  // namespace composer
