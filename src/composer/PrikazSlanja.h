#pragma once
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QListWidget;

namespace composer {

// What the window shows while a run sends. The engine serves the window's events several
// times per message; drawing the bars and lists, and laying out a list again for each new
// line, would then cost more than the message. So during a run the widgets are drawn and
// the new lines added at most every interval, and everything is brought up to date when
// the run ends.
class PrikazSlanja {
 public:
  PrikazSlanja(QList<QWidget*> widgets, int ms);
  void pokreni();
  void zaustavi();
  void dodaj(QListWidget* popis, const QString& linija);  // at once outside a run

 private:
  void osvježi(bool iDalje);
  QList<QPointer<QWidget>> widgets_;
  QHash<QListWidget*, QStringList> nove_;
  QTimer sat_;
  QTimer zatvori_;  // shuts drawing again a little after each opening
};

}  // namespace composer
