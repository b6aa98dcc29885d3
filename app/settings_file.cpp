// The settings file: see settings_file.h.
#include "app/settings_file.h"

#include <windows.h>

#include "app/globals.h"
#include "app/number_text.h"

namespace {

constexpr const wchar_t* kSection = L"Settings";
constexpr int kValueLength = 64;  // UTF-16 units with the terminator: 63 characters arrive

struct TextSetting {
  const wchar_t* key;
  const wchar_t* fallback;
  int control;
};

const TextSetting kTextSettings[] = {
    {L"FRCCount", L"4", kIdInterval},
    {L"FRCOffset", L"3", kIdCorrection},
    {L"FRCDuration", L"0.0166667", kIdDuration},
};

}  // namespace

std::wstring SettingsFilePath() { return ModuleDirectory + L"\\settings.ini"; }

void LoadSettings(const std::wstring& path) {
  wchar_t value[kValueLength];
  for (const TextSetting& setting : kTextSettings) {
    GetPrivateProfileStringW(kSection, setting.key, setting.fallback, value, kValueLength, path.c_str());
    SetDlgItemTextW(ControlBar, setting.control, value);
  }
  GetPrivateProfileStringW(kSection, L"ShowOriginal", L"0", value, kValueLength, path.c_str());
  CheckDlgButton(ControlBar, kIdShowOriginal, ParseUnsignedText(value, nullptr));
}

void SaveSettings(const std::wstring& path) {
  wchar_t value[kValueLength];
  for (const TextSetting& setting : kTextSettings) {
    value[0] = L'\0';
    GetDlgItemTextW(ControlBar, setting.control, value, kValueLength);
    WritePrivateProfileStringW(kSection, setting.key, value, path.c_str());
  }
  wsprintfW(value, L"%u", IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  WritePrivateProfileStringW(kSection, L"ShowOriginal", value, path.c_str());
}
