#include "composer/PrikazSlanja.h"

#include <QListWidget>
#include <algorithm>

namespace composer {

PrikazSlanja::PrikazSlanja(QList<QWidget*> widgets, int ms) {
  for (QWidget* w : widgets) m_widgets << w;
  m_sat.setInterval(ms);
  QObject::connect(&m_sat, &QTimer::timeout, [this] { osvježi(true); });
  // The window is drawn the ordinary way while drawing is open: a paint forced and shut at
  // once reaches an X server's screen blank.
  m_zatvori.setSingleShot(true);
  m_zatvori.setInterval(std::max(10, ms / 3));
  QObject::connect(&m_zatvori, &QTimer::timeout, [this] {
    for (QWidget* w : m_widgets)
      if (w) w->setUpdatesEnabled(false);
  });
}

void PrikazSlanja::pokreni() {
  if (m_sat.isActive()) return;
  for (QWidget* w : m_widgets)
    if (w) w->setUpdatesEnabled(false);
  m_sat.start();
}

void PrikazSlanja::zaustavi() {
  if (!m_sat.isActive()) return;
  m_sat.stop();
  m_zatvori.stop();
  osvježi(false);
}

void PrikazSlanja::dodaj(QListWidget* popis, const QString& linija) {
  if (m_sat.isActive()) m_nove[popis] << linija;
  else popis->addItem(linija);
}

void PrikazSlanja::osvježi(bool iDalje) {
  for (auto i = m_nove.begin(); i != m_nove.end(); ++i) i.key()->addItems(i.value());
  m_nove.clear();
  for (QWidget* w : m_widgets)
    if (w) w->setUpdatesEnabled(true);  // schedules the whole widget
  if (iDalje) m_zatvori.start();
}

}  // namespace composer
