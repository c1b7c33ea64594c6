// The main window's trend chart and its tool bar.
#include "tfrmmain.h"

void TfrmMain::CreateChartControl() {}
int TfrmMain::AddChartPoint(double) { return 1; }
void TfrmMain::ClearChart() {}
void TfrmMain::SetAxisMin(double) {}
void TfrmMain::SetAxisMax(double) {}

void TfrmMain::edtRangeChange() {}
void TfrmMain::Timer_rangeTimer() {}
void TfrmMain::btnFirstClick() {}
void TfrmMain::btnPreviousClick() {}
void TfrmMain::btnNextClick() {}
void TfrmMain::btnLastClick() {}
void TfrmMain::btnSaveClick() {}
void TfrmMain::btnFlyClick() {}
void TfrmMain::btnChartZoomOutClick() {}
