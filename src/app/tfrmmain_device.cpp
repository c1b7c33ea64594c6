// The main window's connection control: device choice, the Connect button and the watchdog.
#include "tfrmmain.h"

void TfrmMain::RefreshDeviceChoice() {}
void TfrmMain::CloseBridge() {}
void TfrmMain::btnConnectClick() {}
void TfrmMain::timerDisconectedUSBTimer() {}
