// Stretchwell.exe itself, started as its own process and driven from outside
// by messages, as the system and the taskbar drive it: its main window, every
// way of closing it and its exit code.

#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>

#include "WinTestSupport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

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

TEST(Program, ExitMenuItemEndsTheProcessWithExitCodeZero) { ExpectCleanEndAfter(WM_COMMAND, TForm1::kN3); }

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

// The program with a picture browsed through its open dialog and a new size
// typed, so that Execute is enabled.
class ProgramWithPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.Started());
    main = program.WaitForWindow(L"TForm1");
    ASSERT_NE(main, nullptr);
    const std::wstring picture = folder.File(L"source.bmp");
    test::WriteSolidBmp(picture, 640, 480, 10, 20, 30);
    PostMessageW(Item(TForm1::kButton1), BM_CLICK, 0, 0);
    HWND dialog = program.WaitForWindow(L"#32770");
    ASSERT_NE(dialog, nullptr);
    HWND name = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (name = GetDlgItem(dialog, cmb13)) != nullptr; }));
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picture.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return TextOf(Item(TForm1::kLabel7)) == L"640"; }));
  }

  HWND Item(int id) const { return GetDlgItem(main, id); }
  void TypeSize(const wchar_t* width, const wchar_t* height) {
    SendMessageW(Item(TForm1::kEdit3), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(width));
    SendMessageW(Item(TForm1::kEdit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(height));
    ASSERT_TRUE(test::WaitUntil([&] { return IsWindowEnabled(Item(TForm1::kButton3)) != FALSE; }));
  }
  // Waits for the end, noting any system dialog (the save dialog) on the way.
  DWORD WaitForExitNotingDialogs() {
    return program.WaitForExit(20000, [&] {
      if (program.FindWindowOfClass(L"#32770")) dialogSeen = true;
    });
  }

  test::TempFolder folder;
  test::ProgramProcess program;
  HWND main = nullptr;
  bool dialogSeen = false;
};

// The taskbar entry's Close sends the system's close command to the window
// that carries the entry, also while that window is disabled.
TEST_F(ProgramWithPicture, TaskbarCloseDuringARunEndsItWithoutTheSaveDialog) {
  // Large enough that the run is still resampling when the command arrives.
  TypeSize(L"6000", L"4500");
  PostMessageW(Item(TForm1::kButton3), BM_CLICK, 0, 0);
  ASSERT_TRUE(test::WaitUntil([&] { return !IsWindowEnabled(main); })) << "the run did not start";
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(WaitForExitNotingDialogs(), 0u);
  EXPECT_FALSE(dialogSeen) << "the run went on to the save dialog";
}

TEST(Program, TaskbarCloseWhileTheAboutWindowIsOpenEndsTheProgram) {
  test::ProgramProcess program;
  ASSERT_TRUE(program.Started());
  HWND main = program.WaitForWindow(L"TForm1");
  ASSERT_NE(main, nullptr);
  PostMessageW(main, WM_COMMAND, TForm1::kN7, 0);
  ASSERT_NE(program.WaitForWindow(L"TForm2"), nullptr);
  ASSERT_TRUE(test::WaitUntil([&] { return !IsWindowEnabled(main); }));
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace
}  // namespace sw
