// The windows at 144 DPI: the rounding rule, the layout of the real program
// started on a 144-DPI screen, and both windows laid out again when the
// system tells them their monitor's DPI changed.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "WinTestSupport.h"
#include "ui/Dpi.h"
#include "ui/Stretchwell.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace sw {
namespace {

TEST(ScaleToDpi, RoundsToTheNearestPixelWithHalvesAwayFromZero) {
  struct Case {
    int value, dpi, scaled;
  };
  const Case cases[] = {
      {13, 144, 20},   {-11, 144, -17}, {289, 144, 434}, {21, 144, 32},  {1, 144, 2},   {-1, 144, -2},
      {12, 144, 18},   {0, 144, 0},     {9, 120, 11},    {7, 120, 9},    {10, 120, 13}, {-10, 120, -13},
      {11, 192, 22},   {13, 168, 23},   {386, 96, 386},  {-24, 96, -24}, {147, 72, 110}, {3, 72, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
}

// Each control's design rectangle (left, top, width, height at 96 DPI) and
// the same scaled to 144 DPI by the rule, worked out by hand. Width -1: the
// label is sized to its text.
struct Placement {
  int id;
  RECT design;  // left, top, width, height
  RECT at144;
};
const Placement kMainWindow[] = {
    {TForm1::kLabel1, {8, 8, -1, 13}, {12, 12, -1, 20}},
    {TForm1::kEdit1, {8, 24, 273, 21}, {12, 36, 410, 32}},
    {TForm1::kButton1, {224, 26, 55, 18}, {336, 39, 83, 27}},
    {TForm1::kLabel4, {8, 48, -1, 13}, {12, 72, -1, 20}},
    {TForm1::kLabel7, {144, 48, -1, 13}, {216, 72, -1, 20}},
    {TForm1::kLabel3, {8, 64, -1, 13}, {12, 96, -1, 20}},
    {TForm1::kLabel2, {144, 64, -1, 13}, {216, 96, -1, 20}},
    {TForm1::kLabel6, {8, 96, -1, 13}, {12, 144, -1, 20}},
    {TForm1::kEdit3, {136, 88, 73, 21}, {204, 132, 110, 32}},
    {TForm1::kLabel5, {8, 128, -1, 13}, {12, 192, -1, 20}},
    {TForm1::kEdit4, {136, 120, 73, 21}, {204, 180, 110, 32}},
    {TForm1::kRadioGroup1, {216, 85, 65, 55}, {324, 128, 98, 83}},
    {TForm1::kCheckBox1, {8, 148, 193, 17}, {12, 222, 290, 26}},
    {TForm1::kButton3, {208, 152, 73, 25}, {312, 228, 110, 38}},
    {TForm1::kProgressBar1, {8, 168, 193, 9}, {12, 252, 290, 14}},
};
// The memo sits inside its soft bevel, a line one pixel wide at every DPI.
const Placement kAboutWindow[] = {
    {TForm2::kLabel1, {56, 40, -1, 13}, {84, 60, -1, 20}},
    {TForm2::kMemo1, {17, 57, 135, 39}, {25, 85, 204, 60}},
    {TForm2::kButton1, {8, 112, 153, 25}, {12, 168, 230, 38}},
};

// Every line of the about window's memo lies within its client area.
void ExpectMemoShowsEveryLine(HWND memo) {
  auto lineTop = [&](int line) {
    const LRESULT first = SendMessageW(memo, EM_LINEINDEX, line, 0);
    return static_cast<int>(static_cast<short>(HIWORD(SendMessageW(memo, EM_POSFROMCHAR, first, 0))));
  };
  const int lines = static_cast<int>(SendMessageW(memo, EM_GETLINECOUNT, 0, 0));
  ASSERT_EQ(lines, 3);
  const int lineHeight = lineTop(1) - lineTop(0);
  RECT client;
  GetClientRect(memo, &client);
  EXPECT_GT(lineHeight, 0);
  EXPECT_GE(lineTop(0), 0);
  EXPECT_LE(lineTop(lines - 1) + lineHeight, client.bottom) << "the last line is cut off";
}

RECT RectInClient(HWND control, HWND window) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

template <size_t N>
void ExpectPlaced(HWND window, const Placement (&table)[N], bool at144) {
  for (const Placement& row : table) {
    const RECT& want = at144 ? row.at144 : row.design;
    HWND control = GetDlgItem(window, row.id);
    ASSERT_NE(control, nullptr) << row.id;
    const RECT got = RectInClient(control, window);
    EXPECT_EQ(got.left, want.left) << row.id;
    EXPECT_EQ(got.top, want.top) << row.id;
    if (want.right >= 0) {
      EXPECT_EQ(got.right - got.left, want.right) << row.id;
    }
    EXPECT_EQ(got.bottom - got.top, want.bottom) << row.id;
  }
}

// Labels sized to their text in the larger font still end where what follows
// them on their line begins. (Text widths do not grow exactly with the font:
// a label may end one design pixel under the border of the field that lies
// over it.)
void ExpectLabelsClear(HWND main, int dpi) {
  const int slack = ScaleToDpi(1, dpi);
  EXPECT_LE(RectInClient(GetDlgItem(main, TForm1::kLabel4), main).right, ScaleToDpi(144, dpi));
  EXPECT_LE(RectInClient(GetDlgItem(main, TForm1::kLabel3), main).right, ScaleToDpi(144, dpi));
  EXPECT_LE(RectInClient(GetDlgItem(main, TForm1::kLabel6), main).right, ScaleToDpi(136, dpi) + slack);
  EXPECT_LE(RectInClient(GetDlgItem(main, TForm1::kLabel5), main).right, ScaleToDpi(136, dpi) + slack);
  EXPECT_GT(RectInClient(GetDlgItem(main, TForm1::kLabel4), main).right, ScaleToDpi(100, dpi)) << "the font grew too";
}

// The screen's DPI of this Wine prefix, for the programs started while it
// lives; the value before is put back afterwards.
class ScreenDpiOverride {
 public:
  explicit ScreenDpiOverride(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof(previous_);
    DWORD type = 0;
    hadValue_ = RegQueryValueExW(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&previous_), &size) ==
                    ERROR_SUCCESS &&
                type == REG_DWORD;
    set_ = RegSetValueExW(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi)) ==
           ERROR_SUCCESS;
  }
  ~ScreenDpiOverride() { Restore(); }
  bool Set() const { return set_; }
  void Restore() {
    if (!key_) return;
    if (hadValue_)
      RegSetValueExW(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_), sizeof(previous_));
    else
      RegDeleteValueW(key_, kValue);
    RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  static constexpr const wchar_t* kValue = L"LogPixels";
  HKEY key_ = nullptr;
  DWORD previous_ = 0;
  bool hadValue_ = false;
  bool set_ = false;
};

TEST(ProgramAt144Dpi, ScalesEveryDesignValueByTheRule) {
  std::unique_ptr<test::ProgramProcess> program;
  HWND main = nullptr;
  {
    ScreenDpiOverride dpi(144);
    ASSERT_TRUE(dpi.Set());
    program = std::make_unique<test::ProgramProcess>();
    main = program->WaitForWindow(L"TForm1");
  }  // The program has read the screen's DPI by the time its window shows.
  ASSERT_NE(main, nullptr);

  RECT client, outer;
  GetClientRect(main, &client);
  GetWindowRect(main, &outer);
  EXPECT_EQ(client.right, 434);
  EXPECT_EQ(client.bottom, 278);
  EXPECT_EQ(outer.left, 579);
  EXPECT_EQ(outer.top, 345);
  ExpectPlaced(main, kMainWindow, true);
  ExpectLabelsClear(main, 144);

  PostMessageW(main, WM_COMMAND, TForm1::kN7, 0);
  HWND about = program->WaitForWindow(L"TForm2");
  ASSERT_NE(about, nullptr);
  GetWindowRect(about, &outer);
  GetClientRect(about, &client);
  EXPECT_EQ(outer.bottom - outer.top, 221) << "as tall as its client area at 144 DPI";
  EXPECT_EQ(client.right, 254);
  ExpectPlaced(about, kAboutWindow, true);
  ExpectMemoShowsEveryLine(GetDlgItem(about, TForm2::kMemo1));

  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program->WaitForExit(), 0u);
}

// The system says the window's monitor changed its DPI: what Windows sends
// when a window is dragged to another monitor or the scale is changed.
void ChangeDpi(HWND window, int dpi, RECT suggested) {
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

class DpiChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartStretchwell(app);
    ASSERT_NE(Form1, nullptr);
    app.ShowMainWindow();
    app.ProcessPendingMessages();
    ASSERT_EQ(Form1->Dpi(), 96) << "the test program runs at the design DPI";
  }
  void TearDown() override {
    app.Shutdown();
    app.ProcessPendingMessages();
  }

  Application app;
};

TEST_F(DpiChangeTest, MainWindowIsLaidOutAgainAndBackAtTheNewDpi) {
  HWND main = Form1->Handle();
  ChangeDpi(main, 144, RECT{100, 50, 700, 500});
  EXPECT_EQ(Form1->Dpi(), 144);
  RECT outer;
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.left, 100) << "the place the system suggests";
  EXPECT_EQ(outer.top, 50);
  ExpectPlaced(main, kMainWindow, true);
  ExpectLabelsClear(main, 144);
  // The radio items stay inside their group.
  const RECT group = RectInClient(Form1->Control(TForm1::kRadioGroup1), main);
  for (int item = 0; item < 2; ++item) {
    const RECT radio = RectInClient(Form1->Control(RadioItemId(TForm1::kRadioGroup1, item)), main);
    EXPECT_GE(radio.top, group.top + ScaleToDpi(15, 144)) << item;
    EXPECT_LE(radio.bottom, group.bottom) << item;
    EXPECT_GE(radio.bottom - radio.top, 25) << item << " (18 at 96 DPI)";
  }

  ChangeDpi(main, 96, RECT{386, 230, 700, 500});
  EXPECT_EQ(Form1->Dpi(), 96);
  ExpectPlaced(main, kMainWindow, false);
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 289);
  EXPECT_EQ(client.bottom, 185);
}

// The colours of the about window's title band.
class TitleBand {
 public:
  TitleBand(HWND window, int width, int height) : width_(width) {
    HDC dc = GetDC(window);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels_.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
  }
  int FirstRow(COLORREF color) const {
    auto found = std::find(pixels_.begin(), pixels_.end(), color);
    return found == pixels_.end() ? -1 : static_cast<int>(found - pixels_.begin()) / width_;
  }
  int LastRow(COLORREF color) const {
    auto found = std::find(pixels_.rbegin(), pixels_.rend(), color);
    return found == pixels_.rend() ? -1 : static_cast<int>(pixels_.rend() - found - 1) / width_;
  }
  int FirstColumn(COLORREF color) const {
    int first = -1;
    for (size_t i = 0; i < pixels_.size(); ++i)
      if (pixels_[i] == color) {
        const int column = static_cast<int>(i) % width_;
        if (first < 0 || column < first) first = column;
      }
    return first;
  }

 private:
  int width_;
  std::vector<COLORREF> pixels_;
};

constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);

TEST_F(DpiChangeTest, AboutWindowTitleAndControlsFollowTheNewDpi) {
  SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN7, 0);
  HWND about = Form2->Handle();
  app.ProcessPendingMessages();
  UpdateWindow(about);
  const TitleBand before(about, 160, 40);
  const int faceTop96 = before.FirstRow(kSilver);
  const int faceHeight96 = before.LastRow(kSilver) - faceTop96;
  ASSERT_GT(faceHeight96, 5);
  // The light edge one pixel above and left of the face.
  EXPECT_EQ(faceTop96 - before.FirstRow(kWhite), 1);
  EXPECT_EQ(before.FirstColumn(kSilver) - before.FirstColumn(kWhite), 1);

  ChangeDpi(about, 144, RECT{200, 150, 500, 500});
  app.ProcessPendingMessages();
  UpdateWindow(about);
  RECT outer;
  GetWindowRect(about, &outer);
  EXPECT_EQ(outer.bottom - outer.top, 221);
  ExpectPlaced(about, kAboutWindow, true);
  ExpectMemoShowsEveryLine(Form2->Control(TForm2::kMemo1));
  const TitleBand after(about, 240, 60);
  const int faceTop144 = after.FirstRow(kSilver);
  const int faceHeight144 = after.LastRow(kSilver) - faceTop144;
  // Edges of two pixels, the face half as tall again and half as far down.
  EXPECT_EQ(faceTop144 - after.FirstRow(kWhite), 2);
  EXPECT_EQ(after.FirstColumn(kSilver) - after.FirstColumn(kWhite), 2);
  EXPECT_NEAR(faceHeight144, faceHeight96 * 3 / 2, 3);
  EXPECT_NEAR(faceTop144, faceTop96 * 3 / 2, 3);
}

}  // namespace
}  // namespace sw
