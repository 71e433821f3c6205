#pragma once
#include <QString>

class QLineEdit;
class QWidget;

namespace viewers {

// Small helpers that the viewer and export windows share.

// The field selects its whole text whenever the focus enters it.
void OznaciSveNaFokusu(QLineEdit* polje);

// A caption made fit for a file name: each character of a fixed set, and the double
// quote, CR and LF, becomes "_".
QString OcistiImeDatoteke(const QString& tekst);

// Window positions are stored in twips, 15 to a pixel, as the text of a number.
int TwipsUPiksele(const QString& kljuc, double zadanoTwips);
void SpremiTwipse(const QString& kljuc, int piksela);

struct KljuceviPolozaja {
  QString lijevo, gore, sirina, visina;
  double zadano[4];  // twips
};
// Restores the window's position and size; one off every screen comes back to the centre.
void UcitajPolozaj(QWidget* prozor, const KljuceviPolozaja& k);
void SpremiPolozaj(const QWidget* prozor, const KljuceviPolozaja& k);

}  // namespace viewers
