#pragma once
#include <QtGlobal>

namespace core {

// The composer field the address book fills when it opens: 1 To, 2 CC, 3 BCC.
// Component-wide, set by the composer's To, CC and BCC buttons.
inline qint16 ContactListTarget = 0;

}  // namespace core
