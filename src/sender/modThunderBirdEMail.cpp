#include "sender/modThunderBirdEMail.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QUrl>

#include "core/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/PrivatneKopije.h"
#include "platform/ProgramLauncher.h"

namespace sender {

namespace {

// A setting may name the program (a path, or a name looked up on PATH).
const QString kPutanja = QStringLiteral("PutanjaThunderbird");
constexpr int kGreskaDatoteka = 53;  // the program could not be found or started
constexpr int kCekanjeProzoraMs = 15000;

QString putanjaThunderbirda() {
  const QString zadano = core::VelkorSetting(kPutanja).trimmed();
  return platform::findProgram(zadano.isEmpty() ? QStringLiteral("thunderbird") : zadano);
}

void porukaNijePronadjen(QWidget* parent) {
  platform::dialogs().messageBox(parent,
                                 QStringLiteral("Nije moguće odrediti Thunderbird.exe lokaciju.\r\n\r\n"
                                                "Provjerite da li je Thunderbird instaliran i pokušajte ponovno.\r\n"
                                                "Inače, kontaktirajte velkor za daljnju pomoć."),
                                 platform::MsgButtons::Ok, platform::MsgIcon::Critical,
                                 QStringLiteral("Operacija prekinuta!"));
}

struct Greska {
  int broj = 0;
  QString opis;
  int korak = 0;
};

void porukaGreske(QWidget* parent, const Greska& g) {
  QString t = QStringLiteral("Nastala je slijedeća greška:\r\n\r\nError Number: ") + QString::number(g.broj) +
              QStringLiteral("\r\nError Source: TB_SendEmail\r\n") + QStringLiteral("Error Description: ") + g.opis;
  if (g.korak > 0) t += QStringLiteral("\r\nLine No: ") + QString::number(g.korak);
  platform::dialogs().messageBox(parent, t, platform::MsgButtons::Ok, platform::MsgIcon::Critical,
                                 QStringLiteral("Nastala je greška!"));
}

void pumpaj() {
  if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Waits while the host's windows keep painting; the user's input waits with the form.
void cekaj(int ms) {
  const QDeadlineTimer rok(ms);
  while (!rok.hasExpired()) {
    pumpaj();
    QThread::msleep(static_cast<unsigned long>(qMin<qint64>(10, qMax<qint64>(1, rok.remainingTime()))));
  }
}

struct Xdotool {
  QString put;
  Greska* g;

  // Runs xdotool with the host's windows painting; its output, or nullopt after filling *g.
  // A search that finds nothing ends with 1 and says nothing: that is an empty answer.
  std::optional<QByteArray> pokreni(const QStringList& argumenti) {
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(put, argumenti);
    if (!p.waitForStarted(5000)) {
      *g = {kGreskaDatoteka, QStringLiteral("Program \"%1\" nije moguće pokrenuti.").arg(put), 7};
      return std::nullopt;
    }
    const QDeadlineTimer rok(kCekanjeProzoraMs);
    while (!p.waitForFinished(10)) {
      if (rok.hasExpired()) {
        p.kill();
        p.waitForFinished(1000);
        *g = {1, QStringLiteral("Program xdotool nije završio na vrijeme."), 7};
        return std::nullopt;
      }
      pumpaj();
    }
    const QByteArray izlaz = p.readAllStandardOutput();
    const QString greska = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (p.exitStatus() == QProcess::NormalExit &&
        (p.exitCode() == 0 || (p.exitCode() == 1 && greska.isEmpty() && izlaz.isEmpty())))
      return izlaz;
    *g = {p.exitCode() ? p.exitCode() : 1, QStringLiteral("Tipke nije moguće poslati (xdotool): %1").arg(greska), 7};
    return std::nullopt;
  }

  // Thunderbird's visible windows (by their class, so no window of the host's is among them,
  // whatever its title); nullopt after filling *g.
  std::optional<QSet<QByteArray>> prozori() {
    const auto izlaz = pokreni({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                                QStringLiteral("thunderbird")});
    if (!izlaz) return std::nullopt;
    QSet<QByteArray> id;
    for (const QByteArray& red : izlaz->split('\n'))
      if (!red.trimmed().isEmpty()) id.insert(red.trimmed());
    return id;
  }
};

std::optional<Xdotool> nadjiXdotool(Greska* g) {
  const QString put = platform::findProgram(QStringLiteral("xdotool"));
  if (put.isEmpty()) {
    *g = {kGreskaDatoteka, QStringLiteral("Program \"xdotool\" nije pronađen."), 7};
    return std::nullopt;
  }
  return Xdotool{put, g};
}

// The keystroke goes only to a Thunderbird window that was not there before the start (the
// compose window), never to whatever has the focus: that may be the host's own window.
bool posaljiTipke(Xdotool& x, const QSet<QByteArray>& prije) {
  cekaj(1000);
  const QDeadlineTimer rok(kCekanjeProzoraMs);
  QByteArray prozor;
  while (prozor.isEmpty()) {
    const auto sada = x.prozori();
    if (!sada) return false;
    for (const QByteArray& id : *sada)
      if (!prije.contains(id)) prozor = id;
    if (!prozor.isEmpty()) break;
    if (rok.hasExpired()) {
      *x.g = {1, QStringLiteral("Prozor za pisanje poruke nije se otvorio na vrijeme."), 7};
      return false;
    }
    cekaj(250);
  }
  return x
      .pokreni({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(prozor),
                QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+shift+Return")})
      .has_value();
}

// Thunderbird ends a quoted value at a quote followed by a comma. A value holding that pair
// goes unquoted and percent-encoded instead, which Thunderbird decodes, so no text of the
// user's can end its field and start another.
QString vrijednost(const QString& v) {
  if (!v.contains(QStringLiteral("',"))) return QLatin1Char('\'') + v + QLatin1Char('\'');
  return QString::fromLatin1(QUrl::toPercentEncoding(v));
}

QString stavka(const char* kljuc, const std::optional<QString>& v) {
  if (!v) return {};
  return QLatin1String(kljuc) + QLatin1Char('=') + vrijednost(*v) + QLatin1Char(',');
}

// The list is split at commas: a path holding a comma or a quote goes as an encoded file URL.
QString prilog(const QString& put) {
  if (!put.contains(QLatin1Char(',')) && !put.contains(QLatin1Char('\''))) return put;
  return QStringLiteral("file://") + QString::fromLatin1(QUrl::toPercentEncoding(put, "/"));
}

QString stavkaPriloga(const TBAttachments& prilozi) {
  QStringList popis;
  if (const auto* lista = std::get_if<QStringList>(&prilozi)) {
    for (const QString& p : *lista)
      if (!p.isEmpty()) popis << prilog(p);
  } else if (!std::get<QString>(prilozi).isEmpty()) {
    popis << prilog(std::get<QString>(prilozi));
  }
  return popis.isEmpty() ? QString() : stavka("attachment", popis.join(QLatin1Char(',')));
}

// The body goes to Thunderbird in a file (its "message" item), so no text in it can end its
// field. The files stay until the host exits: Thunderbird reads them once its window opens.
std::optional<QString> datotekaTijela(const QString& tijelo, QString* greska) {
  static QTemporaryDir mapa(QDir::tempPath() + QStringLiteral("/velkor-tb-XXXXXX"));
  QTemporaryFile f(mapa.path() + QStringLiteral("/poruka-XXXXXX.txt"));
  f.setAutoRemove(false);
  const QByteArray utf8 = tijelo.toUtf8();
  if (!mapa.isValid() || !f.open() || f.write(utf8) != utf8.size() || !f.flush()) {
    *greska = QStringLiteral("Tekst poruke nije moguće zapisati u privremenu datoteku (%1).")
                  .arg(mapa.isValid() ? f.errorString() : mapa.errorString());
    if (f.isOpen()) f.remove();
    return std::nullopt;
  }
  return f.fileName();
}

// Thunderbird reads the files once its window is open; the send form deletes the host's file
// as soon as the route has returned. Paths that name no file go as they are.
bool kopijePriloga(TBAttachments& prilozi, QString* opis) {
  auto kopija = [opis](QString& put) {
    if (put.isEmpty() || !QFileInfo(put).isFile()) return true;
    put = platform::privatnaKopija(put, opis);
    return !put.isEmpty();
  };
  if (auto* lista = std::get_if<QStringList>(&prilozi)) {
    for (QString& p : *lista)
      if (!kopija(p)) return false;
    return true;
  }
  return kopija(std::get<QString>(prilozi));
}

}  // namespace

bool PronadjiThunderbird(QWidget* parent) {
  if (!putanjaThunderbirda().isEmpty()) return true;
  porukaNijePronadjen(parent);
  return false;
}

QString TB_ComposeArgument(const std::optional<QString>& to, const std::optional<QString>& subject,
                           const std::optional<QString>& bodyFile, const std::optional<QString>& cc,
                           const std::optional<QString>& bcc, const std::optional<TBAttachments>& attachments,
                           const std::optional<QString>& sender) {
  QString a = stavka("to", to) + stavka("subject", subject) + stavka("message", bodyFile) + stavka("cc", cc) +
              stavka("bcc", bcc);
  if (attachments) a += stavkaPriloga(*attachments);
  return a + stavka("from", sender) + QStringLiteral("format=1,");
}

bool TB_SendEmail(const std::optional<QString>& to, const std::optional<QString>& subject,
                  const std::optional<QString>& body, const std::optional<QString>& cc,
                  const std::optional<QString>& bcc, const std::optional<TBAttachments>& attachments,
                  const std::optional<QString>& sender, std::optional<bool> sendByKeystroke, QWidget* parent) {
  const QString program = putanjaThunderbirda();
  if (program.isEmpty()) {
    porukaNijePronadjen(parent);
    return false;
  }
  QString opis;
  // A line break in an address would start a header line of its own in the message.
  for (const auto* lista : {&to, &cc, &bcc}) {
    if (*lista && (lista->value().contains(QLatin1Char('\r')) || lista->value().contains(QLatin1Char('\n')))) {
      porukaGreske(parent,
                   {kGreskaDatoteka,
                    QStringLiteral("Adresa \"%1\" sadrži prijelom retka.").arg(lista->value().simplified()), 1});
      return false;
    }
  }
  std::optional<QString> tijelo;
  if (body && !(tijelo = datotekaTijela(*body, &opis))) {
    porukaGreske(parent, {kGreskaDatoteka, opis, 2});
    return false;
  }
  std::optional<TBAttachments> prilozi = attachments;
  if (prilozi && !kopijePriloga(*prilozi, &opis)) {
    porukaGreske(parent, {kGreskaDatoteka, opis, 3});
    return false;
  }
  const QString argument = TB_ComposeArgument(to, subject, tijelo, cc, bcc, prilozi, sender);
  // The windows that are there before the start cannot be the new compose window.
  Greska g;
  std::optional<Xdotool> x;
  std::optional<QSet<QByteArray>> prije;
  const bool tipka = sendByKeystroke.value_or(false);
  if (tipka && (!(x = nadjiXdotool(&g)) || !(prije = x->prozori()))) {
    porukaGreske(parent, g);
    return false;
  }
  if (!platform::startDetached(program, {QStringLiteral("-compose"), argument}, &opis)) {
    porukaGreske(parent, {kGreskaDatoteka, opis, 6});
    return false;
  }
  if (tipka && !posaljiTipke(*x, *prije)) {
    porukaGreske(parent, g);
    return false;
  }
  return true;
}

}  // namespace sender
