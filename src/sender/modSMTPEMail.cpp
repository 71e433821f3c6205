#include "sender/modSMTPEMail.h"

SMTPPostavke g_SMTPPostavke;

void UcitajSMTPPostavke() {}

bool ProvjeriSMTPPostavke(QWidget*) { return false; }
