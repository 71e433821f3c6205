#pragma once

class QWidget;

namespace platform {

// The component's common window settings (icon, font); the last step of each form's load.
void PostaviFormu(QWidget* forma);

}  // namespace platform
