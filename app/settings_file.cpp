// The settings file: see settings_file.h.
#include "app/settings_file.h"

#include <windows.h>

#include <vector>

#include "app/control_bar.h"
#include "app/globals.h"
#include "base/number_text.h"
#include "views/zoom.h"

namespace {

constexpr const wchar_t* kSection = L"Settings";
constexpr int kValueLength = 64;  // UTF-16 units with the terminator: 63 characters arrive

struct TextSetting {
  const wchar_t* key;
  const wchar_t* fallback;
  int control;
};

// Indexed by FieldSetting.
const TextSetting kTextSettings[] = {
    {L"FRCCount", L"4", kIdInterval},
    {L"FRCOffset", L"3", kIdCorrection},
    {L"FRCDuration", L"0.0166667", kIdFrameDuration},
};

// The profile functions cut longer paths to MAX_PATH; such a file is neither
// read nor written rather than another one under the cut path.
bool UsablePath(const std::wstring& path) { return path.size() < MAX_PATH; }

// Reads one key; an unusable path reads like a missing file: the default.
void ReadSetting(const std::wstring& path, const wchar_t* key, const wchar_t* fallback, wchar_t* value) {
  if (UsablePath(path)) {
    GetPrivateProfileStringW(kSection, key, fallback, value, kValueLength, path.c_str());
  } else {
    lstrcpynW(value, fallback, kValueLength);
  }
}

}  // namespace

std::wstring SettingsFilePath() { return ModuleDirectory + L"\\settings.ini"; }

void LoadSettings(const std::wstring& path) {
  wchar_t value[kValueLength];
  for (const TextSetting& setting : kTextSettings) {
    ReadSetting(path, setting.key, setting.fallback, value);
    SetDlgItemTextW(ControlBar, setting.control, value);
  }
  ReadSetting(path, L"ShowOriginal", L"0", value);
  CheckDlgButton(ControlBar, kIdShowOriginal, ParseUnsignedText(value, nullptr));
  SelectPhasePatternInBar(LoadPhasePatternSetting(path));
}

std::wstring ReadSettingText(const std::wstring& path, FieldSetting field) {
  wchar_t value[kValueLength] = {};
  const TextSetting& setting = kTextSettings[static_cast<int>(field)];
  ReadSetting(path, setting.key, setting.fallback, value);
  return value;
}

void SaveSettings(const std::wstring& path) {
  if (!UsablePath(path)) return;
  wchar_t value[kValueLength];
  for (const TextSetting& setting : kTextSettings) {
    value[0] = L'\0';
    GetDlgItemTextW(ControlBar, setting.control, value, kValueLength);
    WritePrivateProfileStringW(kSection, setting.key, value, path.c_str());
  }
  wsprintfW(value, L"%u", IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  WritePrivateProfileStringW(kSection, L"ShowOriginal", value, path.c_str());
  const std::string name = PhasePatternName(PhasePatternInBar());
  WritePrivateProfileStringW(kSection, L"PhasePattern", std::wstring(name.begin(), name.end()).c_str(), path.c_str());
}

PhasePatternKind LoadPhasePatternSetting(const std::wstring& path) {
  wchar_t value[kValueLength];
  ReadSetting(path, L"PhasePattern", L"standard", value);
  std::string name;
  for (const wchar_t* c = value; *c; ++c) name += *c < 128 ? static_cast<char>(*c) : '?';
  PhasePatternKind kind = PhasePatternKind::kStandard;
  PhasePatternFromName(name, &kind);
  return kind;
}

std::string LoadPhaseMatrixSetting(const std::wstring& path) {
  // 64 rows of 64 entries of up to four digits and a space, and the slashes.
  std::vector<wchar_t> value(64 * (64 * 5 + 2) + 1, L'\0');
  if (UsablePath(path))
    GetPrivateProfileStringW(kSection, L"PhasePatternMatrix", L"", value.data(), static_cast<DWORD>(value.size()),
                             path.c_str());
  std::string text;
  for (const wchar_t* c = value.data(); *c; ++c) text += *c < 128 ? static_cast<char>(*c) : '?';
  return text;
}

std::wstring ReadViewingSetting(const std::wstring& path, ViewingSetting setting) {
  wchar_t value[kValueLength] = {};
  ReadSetting(path, setting == ViewingSetting::kDistance ? L"ViewingDistance" : L"PixelPitch", L"", value);
  return value;
}

int LoadZoomSetting(const std::wstring& path) {
  wchar_t value[kValueLength];
  ReadSetting(path, L"Zoom", L"1", value);
  return ZoomLevelFromText(value);
}

PresentationMode LoadPresentationSetting(const std::wstring& path) {
  wchar_t value[kValueLength];
  ReadSetting(path, L"Presentation", L"vsync", value);
  return lstrcmpiW(value, L"timer") == 0 ? PresentationMode::kTimer : PresentationMode::kVsync;
}

void SavePresentationSetting(const std::wstring& path, PresentationMode mode) {
  if (!UsablePath(path)) return;
  WritePrivateProfileStringW(kSection, L"Presentation", mode == PresentationMode::kTimer ? L"timer" : L"vsync",
                             path.c_str());
}

void SaveZoomSetting(const std::wstring& path, int zoom) {
  if (!UsablePath(path)) return;
  wchar_t value[kValueLength];
  wsprintfW(value, L"%d", zoom);
  WritePrivateProfileStringW(kSection, L"Zoom", value, path.c_str());
}
