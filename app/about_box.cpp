// The version box: see about_box.h.
#include "app/about_box.h"

#include "app/globals.h"
#include "present/presentation.h"
#include "quillane_version.h"

void AddAboutToSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kIdAbout, L"バージョン情報...");
}

std::wstring AboutText() {
  const wchar_t* bits = sizeof(void*) == 8 ? L"64 ビット版" : L"32 ビット版";
  return std::wstring(L"Quillane ") + QUILLANE_VERSION_WIDE + L" (" + bits + L")\n" +
         L"" QUILLANE_COPYRIGHT L"\n" + L"MIT ライセンスで配布しています。";
}

void ShowAboutBox(HWND owner) {
  const std::wstring text = AboutText() + L"\n\n表示の同期\n" + PresentationReport();
  MessageBoxW(owner, text.c_str(), kAppCaption, MB_OK);
}
