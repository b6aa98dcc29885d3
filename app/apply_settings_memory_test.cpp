// ApplySettings when the frames of the cycle do not fit into the process: a
// real allocation failure, not a simulated one. The shipped program is a
// 32-bit process with about 2 GiB of address space; where the tests run as a
// 64-bit process they are started a second time under an address-space limit
// of that order (see app/CMakeLists.txt), and the picture is sized so that a
// few of its frames fit into the room left and 255 do not. The frames are
// made when needed within a budget, so such a cycle still plays; only a
// budget beyond the room makes a frame fail.
#include "app/apply_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "app/control_bar.h"
#include "app/globals.h"
#include "base/thread_checks.h"
#include "frc/engine_state.h"
#include "frc/frame_cache.h"
#include "frc/level_tables.h"
#include "imaging/dib_surface.h"
#include "tests/support/win_test_support.h"

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

bool CanReserve(std::uint64_t bytes) {
  if (bytes > SIZE_MAX) return false;
  void* block = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE, PAGE_NOACCESS);
  if (!block) return false;
  VirtualFree(block, 0, MEM_RELEASE);
  return true;
}

// The largest block of address space this process can still reserve, to the
// MiB; anything from 4 GiB up is reported as 4 GiB + 1 MiB. Reserving counts
// against a host limit on the process's address space just as committing does.
std::uint64_t AddressSpaceRoom() {
  const std::uint64_t top = 4096 * kMiB + kMiB;
  if (CanReserve(top)) return top;
  std::uint64_t low = 0, high = top;  // low reservable, high not
  while (high - low > kMiB) {
    const std::uint64_t middle = low + (high - low) / 2;
    if (CanReserve(middle))
      low = middle;
    else
      high = middle;
  }
  return low;
}

unsigned Grey(int x, int y) { return unsigned((x ^ y) & 0xFF) * 0x010101u; }

TEST(ApplySettingsMemoryTest, ACycleThatDoesNotFitStillPlaysAndAFrameBeyondTheRoomFails) {
  const std::uint64_t room = AddressSpaceRoom();
  if (room > 4096 * kMiB)
    GTEST_SKIP() << "address space of " << room / kMiB << " MiB: 255 frames would fit; this case runs under a limit";

  // Most of the largest free block is held back (reserving costs no memory),
  // so that the frames meet the end of the address space after touching a few
  // hundred MiB rather than all of it.
  constexpr std::uint64_t kLeft = 256 * kMiB;
  void* held = room > 2 * kLeft ? VirtualAlloc(nullptr, static_cast<SIZE_T>(room - kLeft), MEM_RESERVE, PAGE_NOACCESS) : nullptr;
  const std::uint64_t frameBytes = (held ? kLeft : room) / 8;
  int side = 16;
  while (std::uint64_t(side + 16) * (side + 16) * 4 <= frameBytes) side += 16;
  std::printf("[          ] %llu MiB of address space left (%s); frames of %d x %d (%llu MiB)\n",
              static_cast<unsigned long long>(room / kMiB), held ? "most held back" : "all of it", side, side,
              static_cast<unsigned long long>(std::uint64_t(side) * side * 4 / kMiB));

  AppInstance = GetModuleHandleW(nullptr);
  MainWindow = CreateTestWindow(L"Quillane memory test", DefWindowProcW, L"Quillane", 300, 200);
  ASSERT_NE(nullptr, MainWindow);
  ASSERT_NE(nullptr, CreateControlBar());
  AttachControlBar(MainWindow);

  ASSERT_TRUE(LoadTestPicture(side, side, Grey));

  // The first message box makes the system create what it keeps for later ones.
  MessageBoxWatcher boxes;
  SetDlgItemTextW(ControlBar, kIdInterval, L"0");
  ApplySettings();
  ASSERT_EQ(1u, boxes.Seen().size());
  boxes.Clear();

  // A small cycle fits and is the state before.
  SetDlgItemTextW(ControlBar, kIdInterval, L"4");
  SetDlgItemTextW(ControlBar, kIdCorrection, L"3");
  SetDlgItemTextW(ControlBar, kIdFrameDuration, L"0.0166667");
  ApplySettings();
  ASSERT_TRUE(boxes.Seen().empty());
  ASSERT_NE(nullptr, FrameSet);
  ASSERT_TRUE(MakeWholeCycle());
  SetCurrentFrame(3);
  const int gdiBefore = GdiObjectCount();

  // 255 frames do not fit, but the cycle's frames are made within the
  // budget: the change takes, with frame 0 made and no message.
  SetDlgItemTextW(ControlBar, kIdInterval, L"255");
  SetDlgItemTextW(ControlBar, kIdCorrection, L"7");
  SetDlgItemTextW(ControlBar, kIdFrameDuration, L"0.0041667");
  ApplySettings();
  EXPECT_TRUE(boxes.Seen().empty());
  ASSERT_NE(nullptr, FrameSet);
  EXPECT_EQ(255u, FrcCount.load());
  EXPECT_EQ(7u, FrcOffset);
  EXPECT_EQ(0u, CurrentFrame.load());
  EXPECT_EQ(41667u, FrameDuration.load());
  EXPECT_NE(nullptr, FrameSet[0].bits);
  EXPECT_LT(FrameSlots(), 255u);

  // A budget beyond the room: making every frame meets the end of the
  // address space, says so, and keeps the frames it made, frame 0 among them.
  const std::uint64_t budget = SetFrameBudget(~std::uint64_t{0});
  SetDlgItemTextW(ControlBar, kIdCorrection, L"6");
  ApplySettings();
  EXPECT_FALSE(MakeWholeCycle());
  {
    MutexLock guard(FrameSetLock());
    EXPECT_LT(FramesMade(), 255u);
    EXPECT_NE(nullptr, FrameSet[0].bits);
  }
  SetFrameBudget(budget);

  // With the memory back, a smaller cycle is made whole, and nothing of the
  // failure is left behind.
  SetDlgItemTextW(ControlBar, kIdInterval, L"4");
  SetDlgItemTextW(ControlBar, kIdCorrection, L"3");
  ApplySettings();
  EXPECT_TRUE(boxes.Seen().empty());
  ASSERT_TRUE(MakeWholeCycle());
  EXPECT_EQ(4u, FrameSetCount(FrameSet));
  EXPECT_EQ(gdiBefore, GdiObjectCount());

  ResetEngineState();
  DestroyWindow(MainWindow);
  MainWindow = nullptr;
  ControlBar = nullptr;
  if (held) VirtualFree(held, 0, MEM_RELEASE);
}

}  // namespace
