// The about window under Wine: its captionless frame and contents, opening
// centred on the main window with the main window disabled, every way of
// closing it, and the embossed title.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "WinTestSupport.h"
#include "ui/WindowText.h"
#include "ui/Stretchwell.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace sw {
namespace {

constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kGrey = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kBlank = RGB(0x00, 0x00, 0xFF);

class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartStretchwell(app);
    ASSERT_NE(Form2, nullptr);
    app.ShowMainWindow();
    app.ProcessPendingMessages();
  }
  void TearDown() override {
    app.Shutdown();
    app.ProcessPendingMessages();
  }
  HWND About() const { return Form2->Handle(); }
  HWND Main() const { return Form1->Handle(); }
  void Open() {
    SendMessageW(Main(), WM_COMMAND, TForm1::kN7, 0);  // "О программе"
    app.ProcessPendingMessages();
  }
  void ExpectCentredOnMain() {
    RECT main, about;
    GetWindowRect(Main(), &main);
    GetWindowRect(About(), &about);
    EXPECT_EQ(about.left, main.left + (main.right - main.left) / 2 - (about.right - about.left) / 2);
    EXPECT_EQ(about.top, main.top + (main.bottom - main.top) / 2 - (about.bottom - about.top) / 2);
  }

  // The colours inside Bevel1 (whose edges are white and grey too) above the
  // version line, where the title is drawn.
  struct TitleBand {
    std::vector<COLORREF> pixels;
    int Count(COLORREF color) const { return static_cast<int>(std::count(pixels.begin(), pixels.end(), color)); }
    // Row of the first pixel of `color`, scanning from the top.
    int FirstRow(COLORREF color) const {
      auto found = std::find(pixels.begin(), pixels.end(), color);
      return found == pixels.end() ? -1 : static_cast<int>(found - pixels.begin()) / kBandWidth;
    }
  };
  static constexpr int kBandLeft = 9, kBandTop = 9, kBandWidth = 151, kBandHeight = 31;
  TitleBand ReadTitle() {
    TitleBand band;
    HDC dc = GetDC(About());
    for (int y = kBandTop; y < kBandTop + kBandHeight; ++y)
      for (int x = kBandLeft; x < kBandLeft + kBandWidth; ++x) band.pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(About(), dc);
    return band;
  }
  void BlankTheBand() {
    HDC dc = GetDC(About());
    HBRUSH blank = CreateSolidBrush(kBlank);
    RECT band{0, 0, 169, 40};
    FillRect(dc, &band, blank);
    DeleteObject(blank);
    ReleaseDC(About(), dc);
  }

  Application app;
};

TEST_F(AboutWindowTest, IsCreatedHiddenWithoutCaptionAsTallAsItsDesignedClientArea) {
  EXPECT_FALSE(IsWindowVisible(About()));
  EXPECT_EQ(WindowText(About()), L"О программе");
  const LONG style = GetWindowLongW(About(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0) << "caption bits cleared";
  EXPECT_TRUE(style & WS_SYSMENU);
  RECT outer;
  GetWindowRect(About(), &outer);
  EXPECT_EQ(outer.bottom - outer.top, 147);
}

TEST_F(AboutWindowTest, ControlsCarryTheirContents) {
  EXPECT_EQ(WindowText(Form2->Control(TForm2::kLabel1)), L"версия 1.0");
  EXPECT_EQ(WindowText(Form2->Control(TForm2::kButton1)), L"Понтно");
  HWND memo = Form2->Control(TForm2::kMemo1);
  EXPECT_EQ(WindowText(memo), L"Небольшая утилита для \r\nувеличения/уменьшения \r\nизображений.");
  EXPECT_TRUE(GetWindowLongW(memo, GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(GetWindowLongW(memo, GWL_STYLE) & WS_BORDER);
  EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 3);
  RECT button;
  GetWindowRect(Form2->Control(TForm2::kButton1), &button);
  MapWindowPoints(nullptr, About(), reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, 8);
  EXPECT_EQ(button.top, 112);
  EXPECT_EQ(button.right - button.left, 153);
  EXPECT_EQ(button.bottom - button.top, 25);
}

TEST_F(AboutWindowTest, OpensCentredOnTheMainWindowWhichIsDisabledUntilTheButton) {
  Open();
  EXPECT_TRUE(IsWindowVisible(About()));
  EXPECT_FALSE(IsWindowEnabled(Main()));
  ExpectCentredOnMain();

  SendMessageW(Form2->Control(TForm2::kButton1), BM_CLICK, 0, 0);
  app.ProcessPendingMessages();
  EXPECT_FALSE(IsWindowVisible(About()));
  EXPECT_TRUE(IsWindowEnabled(Main()));
  EXPECT_FALSE(app.IsQuitting());

  // Opened again after the main window moved, it is centred again.
  SetWindowPos(Main(), nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HWND sameWindow = About();
  Open();
  EXPECT_EQ(About(), sameWindow);
  ExpectCentredOnMain();
}

TEST_F(AboutWindowTest, ClosingItAnotherWayHidesItAndGivesTheMainWindowBack) {
  for (UINT message : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_SYSCOMMAND)}) {
    Open();
    ASSERT_FALSE(IsWindowEnabled(Main()));
    PostMessageW(About(), message, message == WM_SYSCOMMAND ? SC_CLOSE : 0, 0);
    ASSERT_TRUE(test::PumpUntil(app, [&] { return !IsWindowVisible(About()); }));
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_TRUE(IsWindow(About())) << "hidden, not destroyed";
    EXPECT_FALSE(app.IsQuitting());
  }
}

// In Arial or its metric twin the title fits inside the window's frame (a
// wider stand-in face runs past it).
TEST_F(AboutWindowTest, TitleIsDrawnInArialInsideItsFrame) {
  Open();
  UpdateWindow(About());
  HDC dc = GetDC(About());
  wchar_t face[LF_FACESIZE] = L"";
  GetTextFaceW(dc, LF_FACESIZE, face);
  int silverOutside = 0, silverInside = 0;
  const int frameRight = 8 + 153 - 1;  // Bevel1's right edge
  for (int y = kBandTop; y < kBandTop + kBandHeight; ++y)
    for (int x = 100; x < 169; ++x)
      if (GetPixel(dc, x, y) == kSilver) ++(x < frameRight ? silverInside : silverOutside);
  ReleaseDC(About(), dc);
  EXPECT_TRUE(std::wstring(face) == L"Arial" || std::wstring(face) == L"Liberation Sans") << test::Narrow(face);
  EXPECT_GT(silverInside, 0);
  EXPECT_EQ(silverOutside, 0);
}

TEST_F(AboutWindowTest, TitleIsEmbossedAndDrawnAgainOnEveryButtonRelease) {
  Open();
  UpdateWindow(About());
  const TitleBand painted = ReadTitle();
  EXPECT_GT(painted.Count(kWhite), 0);
  EXPECT_GT(painted.Count(kGrey), 0);
  EXPECT_GT(painted.Count(kSilver), 0);
  // The light edge is above the dark one.
  EXPECT_LT(painted.FirstRow(kWhite), painted.FirstRow(kGrey));

  // Over a blank band each button's release draws the title, the same pixels
  // every time, and fills no background.
  BlankTheBand();
  SendMessageW(About(), WM_LBUTTONUP, 0, MAKELPARAM(60, 80));
  const TitleBand first = ReadTitle();
  EXPECT_GT(first.Count(kWhite), 0);
  EXPECT_GT(first.Count(kGrey), 0);
  EXPECT_GT(first.Count(kSilver), first.Count(kWhite)) << "the face lies on top";
  EXPECT_GT(first.Count(kBlank), 0) << "the background is not filled";
  for (UINT release : {static_cast<UINT>(WM_RBUTTONUP), static_cast<UINT>(WM_MBUTTONUP),
                       static_cast<UINT>(WM_LBUTTONUP)}) {
    BlankTheBand();
    SendMessageW(About(), release, 0, MAKELPARAM(5, 130));
    EXPECT_TRUE(ReadTitle().pixels == first.pixels) << release;
  }
  // Drawing it again over itself changes nothing.
  SendMessageW(About(), WM_LBUTTONUP, 0, 0);
  EXPECT_TRUE(ReadTitle().pixels == first.pixels);
}

}  // namespace
}  // namespace sw
