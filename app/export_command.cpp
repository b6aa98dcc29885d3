// The command line's runs: see export_command.h.
#include "app/export_command.h"

#include <windows.h>

#include <string>

#include "app/export_cycle.h"
#include "app/frame_settings.h"
#include "app/settings_file.h"
#include "frc/engine_state.h"
#include "frc/rebuild_frames.h"
#include "imaging/dib_surface.h"
#include "imaging/load_source.h"

namespace {

const wchar_t kUsage[] =
    L"Usage: Quillane.exe [--vblank-source=simulated:RATE[:drop=M]] [--presentation-log FILE] [IMAGE]\n"
    L"       Quillane.exe --export DIR [--interval N] [--correction C] IMAGE\n"
    L"Writes the frame cycle of IMAGE into DIR (made if missing): frame_000.png ..., mean.png,\n"
    L"flicker.png and cycle.txt. N (1-255) and C default to the values in settings.ini.\n"
    L"Exit code: 0 written, 1 wrong command line, 2 image cannot be opened, 3 files cannot be written.\n"
    L"使い方: Quillane.exe [--vblank-source=simulated:頻度[:drop=M]] [--presentation-log ファイル] [画像]\n"
    L"        Quillane.exe --export フォルダー [--interval 間隔] [--correction 補正] 画像\n"
    L"画像のFRCの全フレームをフォルダー (なければ作成) に書き出します: frame_000.png ...、mean.png、\n"
    L"flicker.png、cycle.txt。間隔 (1から255) と補正を省くと settings.ini の値を使います。\n"
    L"終了コード: 0 書き出し完了、1 コマンドラインの誤り、2 画像を開けない、3 ファイルを書き込めない。\n";

enum class Stream { kOutput, kError };

// Writes text to the parent's console when there is one and the standard
// handle is that console; to the standard handle as UTF-8 when it is a file or
// a pipe (redirected output).
void Write(Stream stream, const std::wstring& text) {
  static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  HANDLE handle = GetStdHandle(stream == Stream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  const bool usable = handle && handle != INVALID_HANDLE_VALUE;
  if (usable && !GetConsoleMode(handle, &mode)) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    return;
  }
  if (!attached) return;
  HANDLE console = usable ? handle
                          : CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (console != handle) CloseHandle(console);
}

// One message: the English line, then the Japanese one.
void Say(Stream stream, const std::wstring& english, const std::wstring& japanese) {
  Write(stream, english + L"\n" + japanese + L"\n");
}

int UsageError(const CommandLine& command) {
  const std::wstring argument = command.argument ? command.argument : L"";
  switch (command.problem) {
    case UsageProblem::kUnknownOption:
      Say(Stream::kError, L"error: unknown option: " + argument, L"エラー: 不明なオプションです: " + argument);
      break;
    case UsageProblem::kMissingValue:
      Say(Stream::kError, L"error: missing value for " + argument, L"エラー: " + argument + L" の値がありません。");
      break;
    case UsageProblem::kBadValue:
      Say(Stream::kError, L"error: unusable value: " + argument, L"エラー: 使えない値です: " + argument);
      break;
    case UsageProblem::kExtraArgument:
      Say(Stream::kError, L"error: more than one image: " + argument, L"エラー: 画像が複数あります: " + argument);
      break;
    case UsageProblem::kNoImage:
    case UsageProblem::kNone:
      Say(Stream::kError, L"error: no image given", L"エラー: 画像が指定されていません。");
      break;
  }
  Write(Stream::kError, L"Quillane.exe --help\n");
  return kExitUsage;
}

int Export(const CommandLine& command) {
  const std::wstring settings = SettingsFilePath();
  const std::wstring interval = command.interval ? command.interval : ReadSettingText(settings, FieldSetting::kInterval);
  const std::wstring correction = command.correction ? command.correction : ReadSettingText(settings, FieldSetting::kCorrection);
  FrameSettings values;
  if (!ReadFrameSettings(interval.c_str(), correction.c_str(), L"0", &values)) {
    Say(Stream::kError, L"error: the interval must be 1 to 255: " + interval,
        L"エラー: 間隔は1から255の範囲内である必要があります: " + interval);
    return kExitUsage;
  }
  if (values.offsetLowered) {
    const std::wstring lowered = std::to_wstring(values.offset);
    Say(Stream::kError, L"note: correction " + correction + L" lowered to " + lowered,
        L"注意: 補正 " + correction + L" を " + lowered + L" に下げました。");
  }
  const std::wstring image = command.image;
  if (!LoadSourceImage(image.c_str())) {
    Say(Stream::kError, L"error: cannot open image: " + image, L"エラー: 画像を開けません: " + image);
    return kExitCannotOpen;
  }
  if (RebuildFrameSet(SourceSurface, values.count, values.offset) != FrameBuild::kBuilt) {
    Say(Stream::kError, L"error: not enough memory", L"エラー: メモリが不足しています。");
    return kExitCannotWrite;
  }
  ExportFailure failure = {L"", 0};
  const ExportResult result = ExportCycle(command.folder, SourceSurface, FrameSet, values.count, values.offset,
                                          &failure);
  if (result == ExportResult::kWritten) return kExitWritten;
  const std::wstring reason = DescribeExportFailure(failure);
  switch (result) {
    case ExportResult::kWritten:
      break;
    case ExportResult::kCannotCreateFolder:
      Say(Stream::kError, L"error: cannot create folder: " + reason, L"エラー: フォルダーを作成できません: " + reason);
      return kExitCannotWrite;
    case ExportResult::kCannotWrite:
      break;
  }
  Say(Stream::kError, L"error: cannot write file: " + reason, L"エラー: ファイルを書き込めません: " + reason);
  return kExitCannotWrite;
}

}  // namespace

int RunCommandLine(const CommandLine& command) {
  switch (command.mode) {
    case CommandMode::kHelp:
      Write(Stream::kOutput, kUsage);
      return kExitWritten;
    case CommandMode::kUsageError:
      return UsageError(command);
    case CommandMode::kExport:
      return Export(command);
    case CommandMode::kWindow:
      break;
  }
  return kExitUsage;
}
