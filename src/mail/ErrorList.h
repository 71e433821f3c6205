#pragma once
#include <QString>
#include <QStringList>

// The engine's error list: message texts in the order they were added, each held at
// most once. Everything the engine reports goes through one of these.
namespace mail {

class ErrorList {
 public:
  // Appends the text unless the same text (ignoring case) is already held.
  void add(const QString& text);
  // Removes every entry equal to the text, ignoring case.
  void remove(const QString& text);
  bool isEmpty() const { return entries_.isEmpty(); }
  bool contains(const QString& text) const { return entries_.contains(text); }
  const QStringList& entries() const { return entries_; }
  // All entries, each followed by CR LF, and the list emptied.
  QString take();

 private:
  QStringList entries_;
};

}  // namespace mail
