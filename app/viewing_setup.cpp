// The viewing geometry at start: see viewing_setup.h.
#include "app/viewing_setup.h"

#include "app/settings_file.h"
#include "frc/viewing_geometry.h"

double MonitorPixelPitch(HWND window) {
  const HMONITOR monitor =
      window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFOEXW info = {};
  info.cbSize = sizeof info;
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return 0;
  HDC dc = CreateDCW(L"DISPLAY", info.szDevice, nullptr, nullptr);
  if (!dc) return 0;
  const int millimetres = GetDeviceCaps(dc, HORZSIZE), pixels = GetDeviceCaps(dc, HORZRES);
  DeleteDC(dc);
  if (millimetres <= 0 || pixels <= 0) return 0;
  // Virtual displays report sizes made up from a nominal density, or none
  // at all: a pitch outside what panels have is not believed.
  const double pitch = static_cast<double>(millimetres) / pixels;
  return pitch >= kFinestPitch && pitch <= kCoarsestPitch ? pitch : 0;
}

void SetUpViewing(const CommandLine& command, HWND window) {
  const std::wstring settings = SettingsFilePath();
  ViewingGeometry viewing = kDefaultViewing;
  double value;
  if (command.viewingDistance && ReadViewingDistance(command.viewingDistance, &value)) {
    viewing.distanceCm = value;
  } else if (ReadViewingDistance(ReadViewingSetting(settings, ViewingSetting::kDistance).c_str(), &value)) {
    viewing.distanceCm = value;
  }
  if (command.pixelPitch && ReadPixelPitch(command.pixelPitch, &value)) {
    viewing.pitchMm = value;
  } else if (ReadPixelPitch(ReadViewingSetting(settings, ViewingSetting::kPitch).c_str(), &value)) {
    viewing.pitchMm = value;
  } else {
    const double monitor = MonitorPixelPitch(window);
    if (monitor > 0) viewing.pitchMm = monitor;
  }
  SetViewingGeometry(viewing);
}
