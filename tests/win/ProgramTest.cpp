// Stretchwell.exe itself, started as its own process: its main window and
// its exit code.

#include <gtest/gtest.h>

#include "WinTestSupport.h"

namespace sw {
namespace {

void ExpectCleanEndAfter(UINT message, WPARAM wParam) {
  test::ProgramProcess program;
  ASSERT_TRUE(program.Started());
  HWND main = program.WaitForWindow(L"TForm1");
  ASSERT_NE(main, nullptr);
  wchar_t caption[64] = L"";
  GetWindowTextW(main, caption, 64);
  EXPECT_STREQ(caption, L"Stretchwell");
  PostMessageW(main, message, wParam, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, CloseMessageEndsTheProcessWithExitCodeZero) { ExpectCleanEndAfter(WM_CLOSE, 0); }

TEST(Program, SystemMenuCloseEndsTheProcessWithExitCodeZero) { ExpectCleanEndAfter(WM_SYSCOMMAND, SC_CLOSE); }

}  // namespace
}  // namespace sw
