// The settings file: "settings.ini" beside the executable, section "Settings".
// It copies the control bar's three texts and its check box from the file once
// at start and back once at exit; it neither parses nor validates the numbers
// (that happens when the settings are applied).
#pragma once

#include <string>

#include "frc/phase_patterns.h"

#include <string>

#include "present/presentation.h"

// ModuleDirectory + "\settings.ini", however long the directory is. A path of
// MAX_PATH characters or more is never cut: the file is then not used at all
// (loading gives the defaults, saving writes nothing).
std::wstring SettingsFilePath();

// Copies "FRCCount", "FRCOffset", "FRCDuration" (defaults "4", "3",
// "0.0166667") into controls 1002-1004 unchanged (at most 63 characters each)
// and "ShowOriginal" (default "0"), read as an unsigned number, into check
// box 1005. A missing file, section or key gives the default; a present but
// empty value gives an empty field.
void LoadSettings(const std::wstring& path);

// The three texts of the control bar, in the order of the one table of their
// keys and defaults that both the window and --export read.
enum class FieldSetting { kInterval, kCorrection, kFrameDuration };

// The text stored for `field` (its default when missing), as LoadSettings
// would put it into the field; the file is only read.
std::wstring ReadSettingText(const std::wstring& path, FieldSetting field);

// Writes the five controls back under the same keys ("ShowOriginal" as "0" or
// "1", the phase pattern list as "PhasePattern"); other keys and sections of
// the file are left as they were.
void SaveSettings(const std::wstring& path);

// The viewing geometry's keys, "ViewingDistance" (cm) and "PixelPitch" (mm):
// the text stored, empty when missing; only read, never written.
enum class ViewingSetting { kDistance, kPitch };
std::wstring ReadViewingSetting(const std::wstring& path, ViewingSetting setting);

// The "Zoom" key: the views' zoom level, one of 1, 2, 3, 4, 6, 8, 12, 16.
// Missing, or anything else, reads as 1. The save writes only that key.
int LoadZoomSetting(const std::wstring& path);
void SaveZoomSetting(const std::wstring& path, int zoom);

// The "PhasePattern" key, a name of phase_patterns.h; missing or unknown
// reads as standard. "PhasePatternMatrix" holds the custom matrix's text
// (rows separated by '/', entries by spaces), read as it is.
PhasePatternKind LoadPhasePatternSetting(const std::wstring& path);
std::string LoadPhaseMatrixSetting(const std::wstring& path);

// The "Presentation" key: "timer" (any case) reads as kTimer, anything else,
// or nothing, as kVsync. The save writes only that key.
PresentationMode LoadPresentationSetting(const std::wstring& path);
void SavePresentationSetting(const std::wstring& path, PresentationMode mode);
