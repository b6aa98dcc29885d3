// The control bar the program creates from its dialog template: texts read
// back from the controls, presets, placement, room for every text, its
// attachment as a child, and the forwarding of its commands.
#include "app/control_bar.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/globals.h"
#include "tests/support/win_test_support.h"

namespace {

// ---- The template's places -------------------------------------------------

struct ExpectedItem {
  int id;  // -1: no id
  const wchar_t* windowClass;
  const wchar_t* text;
  short x, cx, cy;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
};

constexpr DWORD kStatic = SS_CENTER | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD kCombo = CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP;

const ExpectedItem kItems[] = {
    {kIdOpen, L"Button", L"開く", 0, 24, 12, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, L"Static", L"間隔", 24, 24, 12, kStatic},
    {kIdInterval, L"ComboBox", L"", 48, 36, 60, kCombo},
    {-1, L"Static", L"補正", 84, 24, 12, kStatic},
    {kIdCorrection, L"ComboBox", L"", 108, 36, 60, kCombo},
    {-1, L"Static", L"更新間隔", 144, 48, 12, kStatic},
    {kIdFrameDuration, L"ComboBox", L"", 192, 60, 60, kCombo},
    {kIdShowOriginal, L"Button", L"元画像", 252, 42, 12, BS_AUTOCHECKBOX | WS_TABSTOP},
    {kIdSave, L"Button", L"保存...", 296, 36, 12, BS_PUSHBUTTON | WS_TABSTOP},
    {kIdPattern, L"Button", L"パターン", 334, 42, 12, BS_PUSHBUTTON | WS_TABSTOP},
    {-1, L"Static", L"位相パターン", 376, 48, 12, kStatic},
    {kIdPhasePattern, L"ComboBox", L"", 424, 72, 60, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
};

// ---- The bar as the program creates it --------------------------------------

// A stand-in for the main window that records the commands it receives.
std::vector<MSG> ReceivedCommands;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    MSG m = {};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    ReceivedCommands.push_back(m);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class ControlBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleW(nullptr);
    parent_ = CreateTestWindow(L"Quillane control bar test", RecordingWindowProc, L"", 800, 200);
    ASSERT_NE(nullptr, parent_);
    ReceivedCommands.clear();
  }
  void TearDown() override {
    if (ControlBar) DestroyWindow(ControlBar);
    DestroyWindow(parent_);
    ControlBar = nullptr;
    MainWindow = nullptr;
    ReceivedCommands.clear();
  }
  // The static texts have no id: the bar's children in creation order.
  std::vector<HWND> Children() const {
    std::vector<HWND> children;
    for (HWND c = GetWindow(ControlBar, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    return children;
  }
  static std::wstring Text(HWND window) {
    wchar_t buffer[64] = {};
    GetWindowTextW(window, buffer, 64);
    return buffer;
  }
  static std::vector<std::wstring> Entries(int id) {
    std::vector<std::wstring> entries;
    const LRESULT count = SendDlgItemMessageW(ControlBar, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t buffer[64] = {};
      SendDlgItemMessageW(ControlBar, id, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(buffer));
      entries.push_back(buffer);
    }
    return entries;
  }

  HWND parent_ = nullptr;
};

TEST_F(ControlBarTest, CreatesAHiddenPopUpWithTheJapaneseLabels) {
  HWND bar = CreateControlBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_EQ(bar, ControlBar);
  EXPECT_FALSE(IsWindowVisible(bar));
  EXPECT_EQ(nullptr, GetWindow(bar, GW_OWNER));
  const LONG style = GetWindowLongW(bar, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CHILD);

  wchar_t buffer[32];
  GetDlgItemTextW(bar, kIdOpen, buffer, 32);
  EXPECT_EQ(std::wstring(L"開く"), buffer);
  GetDlgItemTextW(bar, kIdShowOriginal, buffer, 32);
  EXPECT_EQ(std::wstring(L"元画像"), buffer);
  const std::vector<HWND> children = Children();
  ASSERT_EQ(std::size(kItems), children.size());
  EXPECT_EQ(L"間隔", Text(children[1]));
  EXPECT_EQ(L"補正", Text(children[3]));
  EXPECT_EQ(L"更新間隔", Text(children[5]));
  EXPECT_EQ(L"保存...", Text(children[8]));
  EXPECT_EQ(L"パターン", Text(children[9]));
  for (size_t i = 0; i < children.size(); ++i) {
    EXPECT_TRUE(IsWindowVisible(children[i]) || !IsWindowVisible(bar)) << i;
    EXPECT_TRUE(GetWindowLongW(children[i], GWL_STYLE) & WS_VISIBLE) << i;
  }
  EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(bar, kIdShowOriginal));
}

TEST_F(ControlBarTest, CombosHoldThePresetsInOrderAndStartEmpty) {
  ASSERT_NE(nullptr, CreateControlBar());
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"2", L"4", L"8", L"16"}), Entries(kIdInterval));
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"3", L"7", L"15"}), Entries(kIdCorrection));
  EXPECT_EQ((std::vector<std::wstring>{L"0.0041667", L"0.0083333", L"0.0166667", L"0.0333333"}), Entries(kIdFrameDuration));
  // The fields are free text: no entry is selected, nothing is sorted.
  for (int id : {kIdInterval, kIdCorrection, kIdFrameDuration}) {
    wchar_t buffer[32] = L"x";
    GetDlgItemTextW(ControlBar, id, buffer, 32);
    EXPECT_EQ(std::wstring(), buffer) << id;
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(ControlBar, id), GWL_STYLE) & CBS_SORT) << id;
  }
}

TEST_F(ControlBarTest, ControlsSitWhereTheTemplatePlacesThem) {
  ASSERT_NE(nullptr, CreateControlBar());
  const std::vector<HWND> children = Children();
  ASSERT_EQ(std::size(kItems), children.size());
  for (size_t i = 0; i < children.size(); ++i) {
    const ExpectedItem& want = kItems[i];
    SCOPED_TRACE("control " + std::to_string(i));
    RECT expected = {want.x, 0, want.x + want.cx, 12};
    MapDialogRect(ControlBar, &expected);
    RECT actual;
    GetWindowRect(children[i], &actual);
    MapWindowPoints(nullptr, ControlBar, reinterpret_cast<POINT*>(&actual), 2);
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    if (want.cy >= 60 && (want.style & CBS_DROPDOWNLIST) == CBS_DROPDOWNLIST) {
      // A list without a field: its height is its font's, the list's is the system's.
      continue;
    }
    if (want.cy >= 60) {
      // A combo box's own height follows its font; the template's height is
      // that of the field and its drop-down list together. Windows reports
      // the dropped rectangle of both; Wine that of the list below the field.
      RECT list;
      SendMessageW(children[i], CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
      RECT field;
      GetWindowRect(children[i], &field);
      RECT full = {0, 0, 0, want.cy};
      MapDialogRect(ControlBar, &full);
      const LONG height = list.bottom - list.top;
      EXPECT_TRUE(height == full.bottom || height == full.bottom - (field.bottom - field.top) - 1)
          << height << " for a template height of " << full.bottom;
    } else {
      EXPECT_EQ(expected.bottom, actual.bottom);
    }
  }
  RECT bar = {0, 0, 496, 15};
  MapDialogRect(ControlBar, &bar);
  RECT client;
  GetClientRect(ControlBar, &client);
  EXPECT_EQ(bar.right, client.right);
  EXPECT_EQ(bar.bottom, client.bottom);
}

// The bar at its own font: no control overlaps another or reaches out of the
// bar, and every label, check box text and preset fits its control beside
// what the control draws of its own (a button's edges, the check box, the
// drop-down button).
TEST_F(ControlBarTest, ControlsNeitherOverlapNorCutTheirTexts) {
  ASSERT_NE(nullptr, CreateControlBar());
  RECT bar;
  GetClientRect(ControlBar, &bar);
  const std::vector<HWND> children = Children();
  ASSERT_EQ(std::size(kItems), children.size());
  std::vector<RECT> places;
  for (HWND child : children) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, ControlBar, reinterpret_cast<POINT*>(&r), 2);
    places.push_back(r);
  }
  const int edges = 2 * GetSystemMetrics(SM_CXEDGE) + 2;
  HDC dc = GetDC(ControlBar);
  for (size_t i = 0; i < children.size(); ++i) {
    const RECT& r = places[i];
    SCOPED_TRACE("control " + std::to_string(i) + ": " + testing::PrintToString(Text(children[i])));
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= bar.right && r.bottom <= bar.bottom)
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    for (size_t j = i + 1; j < children.size(); ++j) {
      RECT both;
      EXPECT_FALSE(IntersectRect(&both, &r, &places[j])) << "overlaps control " << j;
    }
    wchar_t className[32] = {};
    GetClassNameW(children[i], className, 32);
    const LONG style = GetWindowLongW(children[i], GWL_STYLE);
    std::vector<std::wstring> texts = {Text(children[i])};
    int room = r.right - r.left;
    if (lstrcmpiW(className, L"ComboBox") == 0) {
      texts = Entries(GetDlgCtrlID(children[i]));
      room -= GetSystemMetrics(SM_CXVSCROLL) + edges;
    } else if (lstrcmpiW(className, L"Button") == 0) {
      room -= (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + edges : edges;
    }
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(children[i], WM_GETFONT, 0, 0)));
    for (const std::wstring& text : texts) {
      SIZE size = {};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      EXPECT_LE(size.cx, room) << testing::PrintToString(text);
      EXPECT_LE(size.cy, r.bottom - r.top) << testing::PrintToString(text);
    }
    SelectObject(dc, old);
  }
  ReleaseDC(ControlBar, dc);
}

TEST_F(ControlBarTest, AttachingMakesItAPlainVisibleChild) {
  ASSERT_NE(nullptr, CreateControlBar());
  AttachControlBar(parent_);
  // Every style bit of the template is gone. The system keeps sibling clipping
  // on a window that was top-level when its style was replaced.
  EXPECT_EQ(LONG(WS_CHILD | WS_VISIBLE), GetWindowLongW(ControlBar, GWL_STYLE) & ~WS_CLIPSIBLINGS);
  EXPECT_EQ(parent_, GetParent(ControlBar));
  ShowWindow(parent_, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(ControlBar));
  // Destroying the main window takes the bar with it.
  DestroyWindow(parent_);
  EXPECT_FALSE(IsWindow(ControlBar));
  ControlBar = nullptr;
}

TEST_F(ControlBarTest, CommandsReachTheMainWindowUnchangedOnceItExists) {
  ASSERT_NE(nullptr, CreateControlBar());
  AttachControlBar(parent_);
  HWND open = GetDlgItem(ControlBar, kIdOpen);

  // While the main window is being created its handle is not stored yet.
  MainWindow = nullptr;
  SendMessageW(open, BM_CLICK, 0, 0);
  SendMessageW(ControlBar, WM_COMMAND, MAKEWPARAM(kIdInterval, CBN_EDITCHANGE), 0);
  EXPECT_TRUE(ReceivedCommands.empty());

  MainWindow = parent_;
  SendMessageW(open, BM_CLICK, 0, 0);
  ASSERT_EQ(1u, ReceivedCommands.size());
  EXPECT_EQ(parent_, ReceivedCommands[0].hwnd);
  EXPECT_EQ(MAKEWPARAM(kIdOpen, BN_CLICKED), ReceivedCommands[0].wParam);
  EXPECT_EQ(reinterpret_cast<LPARAM>(open), ReceivedCommands[0].lParam);

  // The check box toggles itself and reports the click.
  SendMessageW(GetDlgItem(ControlBar, kIdShowOriginal), BM_CLICK, 0, 0);
  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(ControlBar, kIdShowOriginal));
  ASSERT_EQ(2u, ReceivedCommands.size());
  EXPECT_EQ(MAKEWPARAM(kIdShowOriginal, BN_CLICKED), ReceivedCommands[1].wParam);

  // Whatever arrives is passed on as it came, known id or not.
  HWND combo = GetDlgItem(ControlBar, kIdFrameDuration);
  SendMessageW(ControlBar, WM_COMMAND, MAKEWPARAM(kIdFrameDuration, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  SendMessageW(ControlBar, WM_COMMAND, WPARAM(0x7ABC1234), LPARAM(0x55AA));
  ASSERT_EQ(4u, ReceivedCommands.size());
  EXPECT_EQ(MAKEWPARAM(kIdFrameDuration, CBN_SELCHANGE), ReceivedCommands[2].wParam);
  EXPECT_EQ(reinterpret_cast<LPARAM>(combo), ReceivedCommands[2].lParam);
  EXPECT_EQ(WPARAM(0x7ABC1234), ReceivedCommands[3].wParam);
  EXPECT_EQ(LPARAM(0x55AA), ReceivedCommands[3].lParam);
}

}  // namespace
