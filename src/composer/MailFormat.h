#pragma once
#include <QString>

// The composer's message format, process-wide: read from the stored MAILFORMAT when a
// composer loads and changed by the options window. UUEncode goes only with plain text:
// the engine refuses HTML with UUEncode, so HTML always travels as MIME.
inline bool MailFormatHTML = false;
inline int MailFormatEncode = 0;  // 0 MIME, 1 UUEncode

namespace composer {

// Sets both values, keeping UUEncode out of HTML messages.
inline void PostaviMailFormat(bool html, int encoding) {
  MailFormatHTML = html;
  MailFormatEncode = html ? 0 : (encoding == 1 ? 1 : 0);
}

}  // namespace composer
