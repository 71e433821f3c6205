#pragma once
#include <QString>

// The customer search's statement on the host's partner table: partners with an address
// whose name or address begins with (odPocetka) or contains the text, without duplicate
// name-address pairs, by name. The text's single quotes are doubled here.
QString SqlPretrageKomitenata(const QString& tekst, bool odPocetka);
