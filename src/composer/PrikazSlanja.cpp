#include "composer/PrikazSlanja.h"

#include <QListWidget>
#include <algorithm>

namespace composer {

PrikazSlanja::PrikazSlanja(QList<QWidget*> widgets, int ms) {
  for (QWidget* w : widgets) widgets_ << w;
  sat_.setInterval(ms);
  QObject::connect(&sat_, &QTimer::timeout, [this] { osvježi(true); });
  // The window is drawn the ordinary way while drawing is open: a paint forced and shut at
  // once reaches an X server's screen blank.
  zatvori_.setSingleShot(true);
  zatvori_.setInterval(std::max(10, ms / 3));
  QObject::connect(&zatvori_, &QTimer::timeout, [this] {
    for (QWidget* w : widgets_)
      if (w) w->setUpdatesEnabled(false);
  });
}

void PrikazSlanja::pokreni() {
  if (sat_.isActive()) return;
  for (QWidget* w : widgets_)
    if (w) w->setUpdatesEnabled(false);
  sat_.start();
}

void PrikazSlanja::zaustavi() {
  if (!sat_.isActive()) return;
  sat_.stop();
  zatvori_.stop();
  osvježi(false);
}

void PrikazSlanja::dodaj(QListWidget* popis, const QString& linija) {
  if (sat_.isActive()) nove_[popis] << linija;
  else popis->addItem(linija);
}

void PrikazSlanja::osvježi(bool iDalje) {
  for (auto i = nove_.begin(); i != nove_.end(); ++i) i.key()->addItems(i.value());
  nove_.clear();
  for (QWidget* w : widgets_)
    if (w) w->setUpdatesEnabled(true);  // schedules the whole widget
  if (iDalje) zatvori_.start();
}

}  // namespace composer
