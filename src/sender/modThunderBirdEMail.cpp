#include "sender/modThunderBirdEMail.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QUrl>

#include "platform/Dialogs.h"
#include "platform/ProgramLauncher.h"
#include "core/SettingsStore.h"

namespace {

// A setting may name the program (a path, or a name looked up on PATH).
const QString kPutanja = QStringLiteral("PutanjaThunderbird");
constexpr int kGreskaDatoteka = 53;  // the program could not be found or started
constexpr int kCekanjeProzoraMs = 15000;

QString putanjaThunderbirda() {
  const QString zadano = platform::VelkorSetting(kPutanja).trimmed();
  return platform::findProgram(zadano.isEmpty() ? QStringLiteral("thunderbird") : zadano);
}

void porukaNijePronadjen(QWidget* parent) {
  platform::dialogs().messageBox(
      parent,
      QStringLiteral("Nije moguće odrediti Thunderbird.exe lokaciju.\r\n\r\n"
                     "Provjerite da li je Thunderbird instaliran i pokušajte ponovno.\r\n"
                     "Inače, kontaktirajte velkor za daljnju pomoć."),
      platform::MsgButtons::Ok, platform::MsgIcon::Critical, QStringLiteral("Operacija prekinuta!"));
}

struct Greska {
  int broj = 0;
  QString opis;
  int korak = 0;
};

void porukaGreske(QWidget* parent, const Greska& g) {
  QString t = QStringLiteral("Nastala je slijedeća greška:\r\n\r\nError Number: ") +
              QString::number(g.broj) + QStringLiteral("\r\nError Source: TB_SendEmail\r\n") +
              QStringLiteral("Error Description: ") + g.opis;
  if (g.korak > 0) t += QStringLiteral("\r\nLine No: ") + QString::number(g.korak);
  platform::dialogs().messageBox(parent, t, platform::MsgButtons::Ok, platform::MsgIcon::Critical,
                                 QStringLiteral("Nastala je greška!"));
}

void pumpaj() {
  if (QCoreApplication::instance() &&
      QThread::currentThread() == QCoreApplication::instance()->thread())
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

// The compose window's title holds the subject; its characters are matched literally.
QString doslovniIzraz(const QString& tekst) {
  QString out;
  for (const QChar c : tekst) {
    if (QStringLiteral("\\.[](){}*+?^$|").contains(c)) out += QLatin1Char('\\');
    out += c;
  }
  return out;
}

// The keystroke goes to the compose window when it can be told apart by its subject,
// else to the window that has the focus.
QStringList xdotoolArgumenti(const std::optional<QString>& predmet) {
  QStringList a;
  if (predmet && !predmet->trimmed().isEmpty())
    a << "search" << "--sync" << "--limit" << "1" << "--name" << doslovniIzraz(*predmet);
  else
    a << "getwindowfocus";
  a << "windowfocus" << "--sync" << "key" << "--clearmodifiers" << "ctrl+shift+Return";
  return a;
}

bool posaljiTipke(const std::optional<QString>& predmet, Greska* g) {
  const QString xdotool = platform::findProgram(QStringLiteral("xdotool"));
  if (xdotool.isEmpty()) {
    *g = {kGreskaDatoteka, QStringLiteral("Program \"xdotool\" nije pronađen."), 7};
    return false;
  }
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(xdotool, xdotoolArgumenti(predmet));
  if (!p.waitForStarted(5000)) {
    *g = {kGreskaDatoteka, QStringLiteral("Program \"%1\" nije moguće pokrenuti.").arg(xdotool), 7};
    return false;
  }
  const QDeadlineTimer rok(kCekanjeProzoraMs);
  while (!p.waitForFinished(10)) {
    if (rok.hasExpired()) {
      p.kill();
      p.waitForFinished(1000);
      *g = {1, QStringLiteral("Prozor za pisanje poruke nije se otvorio na vrijeme."), 7};
      return false;
    }
    pumpaj();
  }
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    const QString izlaz = QString::fromLocal8Bit(p.readAll()).trimmed();
    *g = {p.exitCode() ? p.exitCode() : 1,
          QStringLiteral("Tipke nije moguće poslati (xdotool): %1").arg(izlaz), 7};
    return false;
  }
  return true;
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

}  // namespace

bool PronadjiThunderbird(QWidget* parent) {
  if (!putanjaThunderbirda().isEmpty()) return true;
  porukaNijePronadjen(parent);
  return false;
}

QString TB_ComposeArgument(const std::optional<QString>& to, const std::optional<QString>& subject,
                           const std::optional<QString>& bodyFile, const std::optional<QString>& cc,
                           const std::optional<QString>& bcc,
                           const std::optional<TBAttachments>& attachments,
                           const std::optional<QString>& sender) {
  QString a = stavka("to", to) + stavka("subject", subject) + stavka("message", bodyFile) +
              stavka("cc", cc) + stavka("bcc", bcc);
  if (attachments) a += stavkaPriloga(*attachments);
  return a + stavka("from", sender) + QStringLiteral("format=1,");
}

bool TB_SendEmail(const std::optional<QString>& to, const std::optional<QString>& subject,
                  const std::optional<QString>& body, const std::optional<QString>& cc,
                  const std::optional<QString>& bcc,
                  const std::optional<TBAttachments>& attachments,
                  const std::optional<QString>& sender, std::optional<bool> sendByKeystroke,
                  QWidget* parent) {
  const QString program = putanjaThunderbirda();
  if (program.isEmpty()) {
    porukaNijePronadjen(parent);
    return false;
  }
  QString opis;
  std::optional<QString> tijelo;
  if (body && !(tijelo = datotekaTijela(*body, &opis))) {
    porukaGreske(parent, {kGreskaDatoteka, opis, 2});
    return false;
  }
  const QString argument = TB_ComposeArgument(to, subject, tijelo, cc, bcc, attachments, sender);
  if (!platform::startDetached(program, {QStringLiteral("-compose"), argument}, &opis)) {
    porukaGreske(parent, {kGreskaDatoteka, opis, 6});
    return false;
  }
  if (sendByKeystroke.value_or(false)) {
    cekaj(1000);
    Greska g;
    if (!posaljiTipke(subject, &g)) {
      porukaGreske(parent, g);
      return false;
    }
  }
  return true;
}
