// The composer's send run. The run itself (checks, EmbeddImage, the engine's properties,
// the record loop, FIND, the Outlook route and the engine's event handlers) is built with
// the recipient list's issue; until then the send buttons start nothing. A run must bracket
// itself with PostaviUSlanju(true/false).
#include "composer/frmMain.h"

void frmMain::PosaljiPoruke(bool) {}

void frmMain::cmdSend_Click() { PosaljiPoruke(true); }

void frmMain::cmdPošaljiPrekoRS_Click() { PosaljiPoruke(false); }
