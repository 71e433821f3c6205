#include "viewers/PomocneProzora.h"

#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "core/SettingsStore.h"

namespace viewers {

namespace {

constexpr double kTwipsPoPikselu = 15.0;

class OznacivacSvega : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::FocusIn)
      if (auto* polje = qobject_cast<QLineEdit*>(o))  // after the click has placed the cursor
        QTimer::singleShot(0, polje, [polje] { polje->selectAll(); });
    return false;
  }
};

}  // namespace

void OznaciSveNaFokusu(QLineEdit* polje) { polje->installEventFilter(new OznacivacSvega(polje)); }

QString OcistiImeDatoteke(const QString& tekst) {
  static const QString znakovi = QStringLiteral("':;,|?<÷×¤ß@{}§[]łŁ€>/\\&*+¸!#$%\"\r\n");
  QString out = tekst;
  for (QChar& c : out)
    if (znakovi.contains(c)) c = QLatin1Char('_');
  return out;
}

int TwipsUPiksele(const QString& kljuc, double zadanoTwips) {
  QString t = core::VelkorSetting(kljuc).trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double twips = t.toDouble(&ok);
  return qRound((ok ? twips : zadanoTwips) / kTwipsPoPikselu);
}

void SpremiTwipse(const QString& kljuc, int piksela) {
  core::SaveVelkorSetting(kljuc, QString::number(float(piksela * kTwipsPoPikselu)));
}

void UcitajPolozaj(QWidget* prozor, const KljuceviPolozaja& k) {
  if (prozor->layout()) prozor->layout()->activate();  // a tiny stored size meets the minimum
  prozor->move(TwipsUPiksele(k.lijevo, k.zadano[0]), TwipsUPiksele(k.gore, k.zadano[1]));
  prozor->resize(TwipsUPiksele(k.sirina, k.zadano[2]), TwipsUPiksele(k.visina, k.zadano[3]));
  if (QGuiApplication::primaryScreen() && !QGuiApplication::screenAt(prozor->geometry().center())) {
    const QRect zaslon = QGuiApplication::primaryScreen()->availableGeometry();
    prozor->move(zaslon.center() - prozor->rect().center());
  }
}

void SpremiPolozaj(const QWidget* prozor, const KljuceviPolozaja& k) {
  SpremiTwipse(k.lijevo, prozor->pos().x());
  SpremiTwipse(k.gore, prozor->pos().y());
  SpremiTwipse(k.sirina, prozor->width());
  SpremiTwipse(k.visina, prozor->height());
}

}  // namespace viewers
