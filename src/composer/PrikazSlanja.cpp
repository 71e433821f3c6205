#include "composer/PrikazSlanja.h"

#include <QListWidget>

namespace composer {

PrikazSlanja::PrikazSlanja(QList<QWidget*> widgets, int ms) {
  for (QWidget* w : widgets) m_widgets << w;
  m_sat.setInterval(ms);
  QObject::connect(&m_sat, &QTimer::timeout, [this] { osvježi(true); });
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
  osvježi(false);
}

void PrikazSlanja::dodaj(QListWidget* popis, const QString& linija) {
  if (m_sat.isActive())
    m_nove[popis] << linija;
  else
    popis->addItem(linija);
}

void PrikazSlanja::osvježi(bool iDalje) {
  for (auto i = m_nove.begin(); i != m_nove.end(); ++i) i.key()->addItems(i.value());
  m_nove.clear();
  for (QWidget* w : m_widgets) {
    if (!w) continue;
    w->setUpdatesEnabled(true);  // schedules the whole widget
    if (!iDalje) continue;
    if (w->isVisible()) w->repaint();
    w->setUpdatesEnabled(false);
  }
}

}  // namespace composer
