// The program's own directory.
#include "app/module_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/win_test_support.h"

namespace {

TEST(ModuleDirectoryTest, CutAtTheLastBackslash) {
  EXPECT_EQ(L"C:\\Program Files\\Quillane", DirectoryOf(L"C:\\Program Files\\Quillane\\Quillane.exe"));
  EXPECT_EQ(L"C:", DirectoryOf(L"C:\\Quillane.exe"));
  EXPECT_EQ(L"Quillane.exe", DirectoryOf(L"Quillane.exe"));
  const std::wstring longDirectory = L"Z:\\" + std::wstring(300, L'x');
  EXPECT_EQ(longDirectory, DirectoryOf(longDirectory + L"\\Quillane.exe"));
}

// Whatever the current directory, the directory is where the files the build
// puts beside this test program are found: the program and the test plug-ins.
TEST(ModuleDirectoryTest, FindsTheFilesBesideTheRunningProgram) {
  TempDirectory elsewhere;
  wchar_t previous[MAX_PATH] = {};
  ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previous));
  ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
  const std::wstring directory = ExecutableDirectory();
  SetCurrentDirectoryW(previous);
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(L'\\', directory.back());
  for (const wchar_t* name : {L"Quillane.exe", L"test_plugins\\test_plugin.spi"})
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((directory + L"\\" + name).c_str()))
        << testing::PrintToString(directory) << " lacks " << testing::PrintToString(std::wstring(name));
}

}  // namespace
