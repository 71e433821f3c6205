#pragma once
#include <QString>
#include <QTemporaryDir>

// Points XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and the resolver file at a
// private temporary directory for the lifetime of the object, so that no test
// reads or writes the user's own files.
class TestEnv {
 public:
  TestEnv();
  QString path(const QString& relative = {}) const;
  // Writes a file below the directory and returns its full path.
  QString writeFile(const QString& relative, const QByteArray& content) const;

 private:
  QTemporaryDir dir_;
};

// The whole content of a file; empty when it cannot be read.
QByteArray readWholeFile(const QString& path);
