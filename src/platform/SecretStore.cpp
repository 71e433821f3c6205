#include "platform/SecretStore.h"

#include <qt6keychain/keychain.h>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

namespace platform {

namespace {

// Long enough for the user to answer the keyring's unlock prompt.
constexpr int kKeyringWaitMs = 120000;

struct Outcome {
  bool done = false;
  QKeychain::Error error = QKeychain::OtherError;
  QString errorString = QStringLiteral("spremnik lozinki nije odgovorio");
  QString text;
};

// Runs the job to its end. A job still running at the time-out deletes itself later; what
// it then reports goes to an outcome nobody reads.
Outcome run(QKeychain::Job* job) {
  auto out = std::make_shared<Outcome>();
  QEventLoop loop;
  job->setAutoDelete(true);
  QObject::connect(job, &QKeychain::Job::finished, &loop, [out, &loop](QKeychain::Job* j) {
    out->done = true;
    out->error = j->error();
    out->errorString = j->errorString();
    if (auto* r = qobject_cast<QKeychain::ReadPasswordJob*>(j)) out->text = r->textData();
    loop.quit();
  });
  QTimer::singleShot(kKeyringWaitMs, &loop, &QEventLoop::quit);
  job->start();
  if (!out->done) loop.exec();
  return *out;
}

QString keyringError(const Outcome& o) { return QStringLiteral("sustavski spremnik lozinki: ") + o.errorString; }

// One line per secret: key and secret, each base64 of its UTF-8, so the file shows no
// password at a glance; what protects it is its mode.
using Entries = QList<std::pair<QString, QString>>;

Entries readFile() {
  Entries out;
  QFile f(secretFile());
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> p = line.trimmed().split(' ');
    if (p.size() == 2)
      out.append({QString::fromUtf8(QByteArray::fromBase64(p[0])), QString::fromUtf8(QByteArray::fromBase64(p[1]))});
  }
  return out;
}

bool writeFile(const Entries& entries, QString* error) {
  const QFileInfo info(secretFile());
  QDir().mkpath(info.absolutePath());
  QFile::setPermissions(info.absolutePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (entries.isEmpty()) return !info.exists() || QFile::remove(info.filePath());
  QSaveFile f(info.filePath());
  // The mode is set before a byte is written.
  if (f.open(QIODevice::WriteOnly) && f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    for (const auto& [k, s] : entries) f.write(k.toUtf8().toBase64() + ' ' + s.toUtf8().toBase64() + '\n');
    if (f.commit()) return true;
  }
  if (error) *error = f.errorString();
  return false;
}

// Replaces (or with no secret removes) the key's line.
bool putInFile(const QString& key, const QString* secret, QString* error) {
  Entries entries = readFile();
  const qsizetype before = entries.size();
  entries.removeIf([&](const auto& e) { return e.first == key; });
  if (!secret && entries.size() == before) return true;
  if (secret) entries.append({key, *secret});
  return writeFile(entries, error);
}

}  // namespace

QString secretFile() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/velkor/secrets");
}

SecretRead readSecret(const QString& key) {
  // A secret put in the file because the keyring was away is found without asking it.
  for (const auto& [k, s] : readFile())
    if (k == key) return {SecretRead::Found, s, {}};
  auto* job = new QKeychain::ReadPasswordJob(kSecretService);
  job->setKey(key);
  const Outcome o = run(job);
  if (o.done && o.error == QKeychain::NoError) return {SecretRead::Found, o.text, {}};
  if (o.done && o.error == QKeychain::EntryNotFound) return {SecretRead::Missing, {}, {}};
  return {SecretRead::Failed, {}, keyringError(o)};
}

bool writeSecret(const QString& key, const QString& secret, SecretPlace* place, QString* error) {
  auto* job = new QKeychain::WritePasswordJob(kSecretService);
  job->setKey(key);
  job->setTextData(secret);
  const Outcome o = run(job);
  QString fileError;
  if (o.done && o.error == QKeychain::NoError) {
    if (place) *place = SecretPlace::Keyring;
    putInFile(key, nullptr, &fileError);
    return true;
  }
  if (putInFile(key, &secret, &fileError)) {
    if (place) *place = SecretPlace::File;
    return true;
  }
  if (error) *error = keyringError(o) + QStringLiteral("; ") + secretFile() + QStringLiteral(": ") + fileError;
  return false;
}

void deleteSecret(const QString& key) {
  QString ignored;
  putInFile(key, nullptr, &ignored);
  auto* job = new QKeychain::DeletePasswordJob(kSecretService);
  job->setKey(key);
  run(job);
}

}  // namespace platform
