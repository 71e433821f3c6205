#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QWidget>

#include "platform/PostaviFormu.h"

namespace platform {

void PostaviFormu(QWidget* forma) {
  if (!forma) return;
  if (forma->windowIcon().isNull())
    forma->setWindowIcon(forma->style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  // Croatian letters need a font that has them; DejaVu Sans ships with the component's packages.
  QFont f = forma->font();
  if (!f.families().contains(QStringLiteral("DejaVu Sans"))) {
    f.setFamilies({f.family(), QStringLiteral("DejaVu Sans")});
    forma->setFont(f);
  }
}

}  // namespace platform
