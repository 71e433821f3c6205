#pragma once
class QWidget;
// Tells the user that a route cannot be used in this build; always false.
bool RutaNedostupna(QWidget* parent);
