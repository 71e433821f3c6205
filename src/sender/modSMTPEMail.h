#pragma once
#include <QString>

class QWidget;

// The direct SMTP route's settings (application "Velkor", section "Settings").
struct SMTPPostavke {
  QString From;
  QString HostName;
  QString UserName;
  QString Password;
  short SSL = 0;
  short StartTLS = 0;
  int Port = 25;  // 0..65535: a 16-bit signed value cannot hold every port
  short Timeout = 5;
};

// Loaded by UcitajSMTPPostavke, refreshed by every ProvjeriSMTPPostavke.
extern SMTPPostavke g_SMTPPostavke;

void UcitajSMTPPostavke();
// Names the missing required settings to the user; true when none is missing.
bool ProvjeriSMTPPostavke(QWidget* parent = nullptr);
