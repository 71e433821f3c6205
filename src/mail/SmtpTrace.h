#pragma once
#include <QByteArrayView>
#include <QLoggingCategory>
#include <QStringList>

// The protocol trace: every line a client sends and every reply it gets goes to the
// logging category velkor.smtp, passwords and AUTH payloads as "***". The last lines
// stay at hand, so that a failure can be shown with the exchange that led to it.
Q_DECLARE_LOGGING_CATEGORY(lcSmtp)

namespace mail {

class SmtpTrace {
 public:
  // A command line as written; `secret` hides what follows the verb (or all of it).
  void client(QByteArrayView line, bool secret = false);
  void server(QByteArrayView reply);
  void note(const QString& text);
  QStringList lines() const { return lines_; }
  void clear() { lines_.clear(), ready_ = 0; }
  // The session is open: what came so far (greeting, EHLO, TLS, login) stays with every
  // message of it, while a new transaction drops the lines of the one before.
  void sessionReady() { ready_ = lines_.size(); }
  void newTransaction() { lines_.remove(ready_, lines_.size() - ready_); }

  static constexpr qsizetype kKeptLines = 40;

 private:
  void keep(const QString& line);
  QStringList lines_;
  qsizetype ready_ = 0;
};

}  // namespace mail
