// The program's own directory.
#include "app/module_directory.h"

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

TEST(ModuleDirectoryTest, TheRunningProgramsDirectory) { EXPECT_EQ(TestProgramDirectory(), ExecutableDirectory()); }

}  // namespace
