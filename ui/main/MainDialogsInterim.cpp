#include "ui/main/Main.h"
namespace vemo {
void TFormMain::mnuHelpAboutClick() {}
void TFormMain::ShowMonitorOptions() {}
void TFormMain::ShowCommPortDialog() {}
}  // namespace vemo
