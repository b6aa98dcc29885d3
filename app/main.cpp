// Process entry of Quillane: prepares the process-wide services (arguments,
// the program's directory, GDI+, the image-decoder plug-ins), creates the main
// window, opens an image named on the command line, runs the message loop until
// the main window is gone, then shuts the services down in reverse order.
// Started with the plug-in child switch, the process is the plug-in decoding
// child instead and creates no window.
#include <windows.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <string>

#include "present/check_presentation.h"
#include "frc/frame_cache.h"
#include "frc/phase_patterns.h"
#include "imaging/load_source.h"
#include "app/command_line.h"
#include "app/control_bar.h"
#include "app/export_command.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/message_routing.h"
#include "app/module_directory.h"
#include "app/viewing_setup.h"
#include "present/presentation.h"
#include "imaging/plugin_child.h"
#include "imaging/plugin_isolation.h"
#include "base/thread_checks.h"

namespace {

// Runs until the quit message and returns its exit code.
int RunMessageLoop() {
  MSG message = {};
  for (;;) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (GetMessageW(&message, nullptr, 0, 0) == 0) break;
      DispatchProgramMessage(&message);
    } else {
      WaitMessage();
    }
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SetUiThread();
  // A picture is taken only where a few of its frames fit beside it.
  SetSourceSizeCheck(FewFramesFit);
  int argumentCount = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
  if (IsPluginChildCommand(argumentCount, arguments)) {
    const int childExit = RunPluginChild(argumentCount, arguments);
    LocalFree(arguments);
    return childExit;
  }
  AppInstance = instance;
  ModuleDirectory = ExecutableDirectory();
  const CommandLine command = ParseCommandLine(arguments ? argumentCount - 1 : 0, arguments ? arguments + 1 : nullptr);
  if (command.mode == CommandMode::kCheckPresentation) {
    // Needs neither GDI+ nor the plug-ins.
    const int checkExit = RunPresentationCheck(instance, command.seconds);
    LocalFree(arguments);
    return checkExit;
  }

  Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no callback, nothing suppressed
  ULONG_PTR gdiplusToken = 0;
  if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) {
    LocalFree(arguments);
    return 0;
  }
  StartIsolatedPlugins(ModuleDirectory, ExecutablePath());

  if (command.mode != CommandMode::kWindow) {
    const int code = RunCommandLine(command);
    Gdiplus::GdiplusShutdown(gdiplusToken);
    StopIsolatedPlugins();
    LocalFree(arguments);
    return code;
  }
  SimulatedSourceOption simulated;
  const bool simulating = command.vblankSource && ParseVblankSourceOption(command.vblankSource, &simulated);
  SetPresentationOptions(simulating ? &simulated : nullptr, command.presentationLog);
  if (!CreateMainWindow()) {
    // Shut down what was started, as after a normal run.
    Gdiplus::GdiplusShutdown(gdiplusToken);
    StopIsolatedPlugins();
    LocalFree(arguments);
    return 0;
  }
  if (command.phasePattern) {
    const std::wstring text = command.phasePattern;
    PhasePatternKind kind = PhasePatternKind::kStandard;
    PhasePatternFromName(std::string(text.begin(), text.end()), &kind);  // checked when read
    SelectPhasePatternInBar(kind);
    PostSettingsChanged();
  }
  SetUpViewing(command, MainWindow);
  if (command.generated) {
    OpenPattern(command.pattern, command.patternWidth, command.patternHeight);
    PostSettingsChanged();
  } else if (command.image) {
    OpenImage(command.image);
    PostSettingsChanged();
  }

  const int exitCode = RunMessageLoop();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  StopIsolatedPlugins();
  LocalFree(arguments);
  return exitCode;
}
