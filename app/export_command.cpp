// The command line's runs: see export_command.h.
#include "app/export_command.h"

#include <windows.h>

#include <string>

#include "base/console_output.h"
#include "app/apply_settings.h"
#include "app/export_cycle.h"
#include "app/frame_settings.h"
#include "app/settings_file.h"
#include "app/viewing_setup.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"
#include "imaging/load_source.h"

namespace {

PhasePatternKind PhasePatternOfName(const wchar_t* text) {
  std::string name;
  for (; *text; ++text) name += *text < 128 ? static_cast<char>(*text) : '?';
  PhasePatternKind kind = PhasePatternKind::kStandard;
  PhasePatternFromName(name, &kind);  // checked when the command line was read
  return kind;
}

const wchar_t kUsage[] =
    L"Usage: Quillane.exe [--vblank-source=simulated:RATE[:drop=M]] [--presentation-log FILE]\n"
    L"                    [--viewing-distance CM] [--pixel-pitch MM] [--phase-pattern NAME] [IMAGE | --pattern NAME[:WxH]]\n"
    L"       Quillane.exe --export DIR [--interval N] [--correction C] [--frame-duration SECONDS]\n"
    L"                    [--viewing-distance CM] [--pixel-pitch MM] [--phase-pattern NAME] (IMAGE | --pattern NAME[:WxH])\n"
    L"       Quillane.exe --check-presentation [SECONDS]\n"
    L"Writes the frame cycle of IMAGE into DIR (made if missing): frame_000.png ..., mean.png,\n"
    L"flicker.png, mean_light.png, flicker_light.png, flicker_visible.png and cycle.txt. N (1-255), C and\n"
    L"SECONDS (the time one frame is shown) default to the values in settings.ini.\n"
    L"CM (10-300, default 60) is the distance from the eye to the screen and MM (0.05-2) the size of one\n"
    L"pixel, by default the monitor's; they set how many pixels the visible flicker averages.\n"
    L"--pattern makes a test picture instead, W x H pixels (1920x1080 if not given); NAME is one of\n"
    L"gray red green blue cyan magenta yellow dark squares pairs.\n"
    L"--phase-pattern chooses the phase pattern: standard none bayer2 bayer4 diagonal bluenoise custom\n"
    L"(custom: PhasePatternMatrix in settings.ini); the default is the one in settings.ini.\n"
    L"Exit code: 0 written, 1 wrong command line, 2 image cannot be opened, 3 files cannot be written.\n"
    L"--check-presentation plays a marked cycle for SECONDS (1-600, default 10) and reads back what the\n"
    L"screen showed at each refresh. Exit code: 0 every frame shown as meant, 4 frames doubled or missed,\n"
    L"5 the check is not available here (Windows 8 or later, desktop duplication).\n"
    L"使い方: Quillane.exe [--vblank-source=simulated:頻度[:drop=M]] [--presentation-log ファイル]\n"
    L"                     [--viewing-distance cm] [--pixel-pitch mm] [--phase-pattern 名前] [画像 | --pattern 名前[:幅x高さ]]\n"
    L"        Quillane.exe --export フォルダー [--interval 間隔] [--correction 補正] [--frame-duration 秒]\n"
    L"                     [--viewing-distance cm] [--pixel-pitch mm] [--phase-pattern 名前] (画像 | --pattern 名前[:幅x高さ])\n"
    L"        Quillane.exe --check-presentation [秒数]\n"
    L"画像のFRCの全フレームをフォルダー (なければ作成) に書き出します: frame_000.png ...、mean.png、\n"
    L"flicker.png、mean_light.png、flicker_light.png、flicker_visible.png、cycle.txt。間隔 (1から255)、\n"
    L"補正、秒 (1フレームの表示時間) を省くと settings.ini の値を使います。\n"
    L"cm (10から300、省略時60) は目から画面までの距離、mm (0.05から2) は1画素の大きさで、省略時は\n"
    L"モニターの値です。見えるちらつきを平均する範囲がこれで決まります。\n"
    L"--pattern は画像の代わりにテストパターンを作ります (大きさを省くと 1920x1080)。名前は\n"
    L"gray red green blue cyan magenta yellow dark squares pairs のどれかです。\n"
    L"--phase-pattern は位相パターンを選びます: standard none bayer2 bayer4 diagonal bluenoise custom\n"
    L"(custom は settings.ini の PhasePatternMatrix)。指定がなければ settings.ini のものを使います。\n"
    L"終了コード: 0 書き出し完了、1 コマンドラインの誤り、2 画像を開けない、3 ファイルを書き込めない。\n"
    L"--check-presentation は番号付きのフレームを秒数 (1から600、省略時10) のあいだ表示し、リフレッシュごとに\n"
    L"画面に出たフレームを読み取ります。終了コード: 0 すべて正しく表示、4 重複または欠落あり、\n"
    L"5 この環境では確認できない (Windows 8 以降と画面の複製が必要)。\n";

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
    case UsageProblem::kBadPattern:
      Say(Stream::kError, L"error: no such pattern or size: " + argument,
          L"エラー: そのパターンまたは大きさは使えません: " + argument);
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
  const std::wstring frameDuration =
      command.frameDuration ? command.frameDuration : ReadSettingText(settings, FieldSetting::kFrameDuration);
  FrameSettings values;
  if (!ReadFrameSettings(interval.c_str(), correction.c_str(), frameDuration.c_str(), &values)) {
    Say(Stream::kError, L"error: the interval must be 1 to 255: " + interval,
        L"エラー: 間隔は1から255の範囲内である必要があります: " + interval);
    return kExitUsage;
  }
  if (values.correctionLowered) {
    const std::wstring lowered = std::to_wstring(values.correction);
    Say(Stream::kError, L"note: correction " + correction + L" lowered to " + lowered,
        L"注意: 補正 " + correction + L" を " + lowered + L" に下げました。");
  }
  SetUpViewing(command, nullptr);
  const std::wstring image = command.image ? command.image : L"--pattern";
  const bool loaded = command.generated
                          ? LoadSourcePattern(command.pattern, command.patternWidth, command.patternHeight)
                          : LoadSourceImage(image.c_str());
  if (!loaded) {
    Say(Stream::kError, L"error: cannot open image: " + image, L"エラー: 画像を開けません: " + image);
    return kExitCannotOpen;
  }
  const PhasePatternKind kind = command.phasePattern ? PhasePatternOfName(command.phasePattern)
                                                    : LoadPhasePatternSetting(SettingsFilePath());
  std::wstring fault;
  if (!UsePhasePattern(kind, SettingsFilePath(), &fault))
    Say(Stream::kError, L"note: PhasePatternMatrix is malformed, standard is used: " + fault,
        L"注意: 位相パターンの行列 (PhasePatternMatrix) が正しくないため、標準を使います: " + fault);
  if (!BuildLevelTables(values.interval, values.correction)) {
    Say(Stream::kError, L"error: not enough memory", L"エラー: メモリが不足しています。");
    return kExitCannotWrite;
  }
  ExportFailure failure = {L"", 0};
  const ExportResult result =
      ExportCycle(command.folder, SourceSurface, values.interval, values.correction, values.frameDuration, &failure);
  if (result == ExportResult::kWritten) return kExitWritten;
  const std::wstring reason = DescribeExportFailure(failure);
  switch (result) {
    case ExportResult::kWritten:
      break;
    case ExportResult::kCannotCreateFolder:
      Say(Stream::kError, L"error: cannot create folder: " + reason, L"エラー: フォルダーを作成できません: " + reason);
      return kExitCannotWrite;
    case ExportResult::kCannotWrite:
    case ExportResult::kCancelled:
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
    case CommandMode::kCheckPresentation:  // run by the caller: it shows a window
      break;
  }
  return kExitUsage;
}
