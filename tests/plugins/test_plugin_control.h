// Test-side helpers for the test plug-ins: installing a built one into a
// plug-in directory, finding it in PluginTable, configuring it and reading
// what it saw.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/plugin_host.h"
#include "tests/plugins/test_plugin_api.h"
#include "tests/support/win_test_support.h"

// Copies the built test plug-in `built` (e.g. L"test_plugin.spi") to `target`.
inline bool InstallTestPlugin(const wchar_t* built, const std::wstring& target) {
  const std::wstring from = TestProgramDirectory() + L"\\test_plugins\\" + built;
  return CopyFileW(from.c_str(), target.c_str(), FALSE) != 0;
}

// The PluginTable entry loaded from a file whose path ends in `name`, or null.
inline HMODULE LoadedPlugin(const std::wstring& name) {
  for (HMODULE module : PluginTable) {
    if (!module) continue;
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 2);
    const std::wstring loaded(path, length);
    if (loaded.size() >= name.size() && loaded.compare(loaded.size() - name.size(), name.size(), name) == 0) {
      return module;
    }
  }
  return nullptr;
}

// The loaded plug-ins in table order, null entries left out.
inline std::vector<HMODULE> LoadedPluginsInOrder() {
  std::vector<HMODULE> modules;
  for (HMODULE module : PluginTable) {
    if (module) modules.push_back(module);
  }
  return modules;
}

// The default configuration: accepts "QTP1" files and decodes them to 24 bits.
inline TestPluginConfig DefaultTestPluginConfig() {
  TestPluginConfig config = {};
  std::memcpy(config.magic, kTestFormatMagic, 4);
  config.output = kOutputRgb24;
  return config;
}

// Configures a loaded test plug-in (and clears its record). False when it is none.
inline bool ConfigureTestPlugin(HMODULE plugin, const TestPluginConfig& config) {
  auto configure = reinterpret_cast<TestConfigureProc>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, "TestConfigure")));
  if (!configure) return false;
  configure(&config);
  return true;
}

// What a loaded test plug-in has seen since it was configured.
inline const TestPluginRecord& TestPluginSeen(HMODULE plugin) {
  auto record = reinterpret_cast<TestRecordProc>(reinterpret_cast<void (*)()>(GetProcAddress(plugin, "TestRecord")));
  return *record();
}
