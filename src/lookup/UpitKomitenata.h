#pragma once
#include <QString>
#include <functional>

namespace lookup {

// The customer search's statement on the host's partner table: partners with an address
// whose name or address begins with (odPocetka) or contains the text, without duplicate
// name-address pairs, by name. literal makes the quoted SQL string of a text as the
// connection's driver reads it, so no text the user types can change the statement.
QString SqlPretrageKomitenata(const QString& tekst, bool odPocetka,
                              const std::function<QString(const QString&)>& literal);

}  // namespace lookup
