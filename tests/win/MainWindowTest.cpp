// The main window end to end under Wine: its layout, the poll, Browse through
// the real open dialog, whole runs through the real save dialog, the error
// box of a failed run, keyboard navigation and the close.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <dlgs.h>

#include "WinTestSupport.h"
#include "ui/WindowText.h"
#include "app/RunTexts.h"
#include "image/bmp/Bmp.h"
#include "image/jpeg/Jpeg.h"
#include "platform/WideText.h"
#include "ui/Fonts.h"
#include "ui/Stretchwell.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace sw {
namespace {

using test::DialogDriver;
using test::MessageBoxContents;

constexpr BYTE kKeyDown = 0x80;  // the high bit of a key's state

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartStretchwell(app);
    ASSERT_NE(Form1, nullptr);
    ASSERT_NE(Form2, nullptr);
    app.ShowMainWindow();
    app.ProcessPendingMessages();
  }
  void TearDown() override {
    app.Shutdown();
    app.ProcessPendingMessages();
  }

  HWND Item(int id) const { return Form1->Control(id); }
  std::wstring TextOf(int id) const { return WindowText(Item(id)); }
  void Type(int id, const std::wstring& text) {
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  bool ExecuteEnabled() const { return IsWindowEnabled(Item(TForm1::kButton3)) != FALSE; }
  bool MenuExecuteEnabled() const {
    return (GetMenuState(GetMenu(Form1->Handle()), TForm1::kN8, MF_BYCOMMAND) & MF_GRAYED) == 0;
  }
  // Lets the poll run a few times.
  void LetThePollRun() {
    for (int i = 0; i < 5; ++i) {
      Sleep(15);
      app.ProcessPendingMessages();
    }
  }
  RECT ClientRectOf(int id) const {
    RECT rect;
    GetWindowRect(Item(id), &rect);
    MapWindowPoints(nullptr, Form1->Handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  // Browses `path` through the open dialog.
  void Browse(const std::wstring& path) {
    DialogDriver driver;
    driver.Then(test::ConfirmFileDialog(path));
    Click(TForm1::kButton1);
    ASSERT_TRUE(driver.Finished());
  }
  // Browses an 8 x 8 picture and types 4 x 4: Execute becomes enabled.
  void MakeReadyToRun() {
    const std::wstring source = folder.File(L"source.bmp");
    test::WriteSolidBmp(source, 8, 8, 1, 2, 3);
    Browse(source);
    Type(TForm1::kEdit3, L"4");
    Type(TForm1::kEdit4, L"4");
    ASSERT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }));
  }
  // Browses, types the size and runs, saving to `target` in format `format`
  // (0 "bmp", 1 "jpg"); the save dialog's title and name are recorded.
  void RunTo(const std::wstring& source, const wchar_t* width, const wchar_t* height, int format,
             const std::wstring& target) {
    Browse(source);
    Type(TForm1::kEdit3, width);
    Type(TForm1::kEdit4, height);
    Click(RadioItemId(TForm1::kRadioGroup1, format));
    ASSERT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }));
    DialogDriver driver;
    driver.Then([&](HWND dialog) {
      saveTitle = WindowText(dialog);
      saveName = WindowText(GetDlgItem(dialog, cmb13));
      mainEnabledDuringSave = IsWindowEnabled(Form1->Handle()) != FALSE;
      return test::ConfirmFileDialog(target)(dialog);
    });
    Click(TForm1::kButton3);
    EXPECT_TRUE(driver.Finished());
  }
  void ExpectFieldsReset() {
    EXPECT_EQ(TextOf(TForm1::kEdit1), L"");
    EXPECT_EQ(TextOf(TForm1::kEdit3), L"");
    EXPECT_EQ(TextOf(TForm1::kEdit4), L"");
    EXPECT_EQ(TextOf(TForm1::kLabel7), L"");
    EXPECT_EQ(TextOf(TForm1::kLabel2), L"");
    EXPECT_EQ(SendMessageW(Item(TForm1::kCheckBox1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(Form1->State().SourceFileName, "");
    EXPECT_TRUE(IsWindowEnabled(Form1->Handle()));
    LetThePollRun();
    EXPECT_FALSE(ExecuteEnabled());
  }

  Application app;
  test::TempFolder folder;
  std::wstring saveTitle, saveName;
  bool mainEnabledDuringSave = true;
};

TEST_F(MainWindowTest, WindowHasTheDesignedFrameSizeAndPlace) {
  HWND main = Form1->Handle();
  EXPECT_EQ(WindowText(main), L"Stretchwell");
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 289);
  EXPECT_EQ(client.bottom, 185);
  RECT outer;
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.left, 386);
  EXPECT_EQ(outer.top, 230);
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
  EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr) << "it carries the taskbar entry";
  EXPECT_EQ(GetWindow(Form2->Handle(), GW_OWNER), main);
  EXPECT_FALSE(IsWindowVisible(Form2->Handle()));
}

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsPlacesAndStartStates) {
  struct Expected {
    int id;
    const wchar_t* text;
    LONG left, top, width, height;  // width -1: sized to its text
  };
  const Expected expected[] = {
      {TForm1::kLabel1, L"Выбери картинку:", 8, 8, -1, 13},
      {TForm1::kEdit1, L"", 8, 24, 273, 21},
      {TForm1::kButton1, L"Обзор", 224, 26, 55, 18},
      {TForm1::kLabel4, L"Старая ширина картинки:", 8, 48, -1, 13},
      {TForm1::kLabel7, L"   ", 144, 48, -1, 13},
      {TForm1::kLabel3, L"Старая высота картинки:", 8, 64, -1, 13},
      {TForm1::kLabel2, L"    ", 144, 64, -1, 13},
      {TForm1::kLabel6, L"Новая ширина картинки:", 8, 96, -1, 13},
      {TForm1::kEdit3, L"", 136, 88, 73, 21},
      {TForm1::kLabel5, L"Новая высота картинки:", 8, 128, -1, 13},
      {TForm1::kEdit4, L"", 136, 120, 73, 21},
      {TForm1::kRadioGroup1, L"Формат", 216, 85, 65, 55},
      {TForm1::kCheckBox1, L"Сделать фоном рабочего стола", 8, 148, 193, 17},
      {TForm1::kButton3, L"Выполнить", 208, 152, 73, 25},
      {TForm1::kProgressBar1, L"", 8, 168, 193, 9},
  };
  for (const Expected& e : expected) {
    ASSERT_NE(Item(e.id), nullptr) << e.id;
    EXPECT_EQ(TextOf(e.id), e.text) << e.id;
    const RECT rect = ClientRectOf(e.id);
    EXPECT_EQ(rect.left, e.left) << e.id;
    EXPECT_EQ(rect.top, e.top) << e.id;
    if (e.width >= 0) {
      EXPECT_EQ(rect.right - rect.left, e.width) << e.id;
    }
    EXPECT_EQ(rect.bottom - rect.top, e.height) << e.id;
  }
  // Labels grow with their text but stay clear of what follows on their line.
  EXPECT_LE(ClientRectOf(TForm1::kLabel4).right, 144);
  EXPECT_LE(ClientRectOf(TForm1::kLabel6).right, 136);

  HWND bmp = Item(RadioItemId(TForm1::kRadioGroup1, 0));
  HWND jpg = Item(RadioItemId(TForm1::kRadioGroup1, 1));
  EXPECT_EQ(WindowText(bmp), L"bmp");
  EXPECT_EQ(WindowText(jpg), L"jpg");
  EXPECT_EQ(SendMessageW(bmp, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(jpg, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(Form1->Request().format, kFormatJpg);
  // The items are the run's format names, which make the save dialog's "*.bmp" and "*.jpg".
  EXPECT_EQ(WideToUtf8(WindowText(bmp)), FormatName(kFormatBmp));
  EXPECT_EQ(WideToUtf8(WindowText(jpg)), FormatName(kFormatJpg));
  EXPECT_EQ(SendMessageW(Item(TForm1::kCheckBox1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(GetWindowLongW(Item(TForm1::kButton3), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(SendMessageW(Form1->Handle(), DM_GETDEFID, 0, 0), MAKELRESULT(TForm1::kButton3, DC_HASDEFID));

  // Button1 lies over the right end of Edit1.
  POINT overlap{250, 30};
  EXPECT_EQ(ChildWindowFromPointEx(Form1->Handle(), overlap, CWP_SKIPINVISIBLE), Item(TForm1::kButton1));
}

// "MS Sans Serif" with Cyrillic glyphs where the system has it, else a face
// of about its width: never one of the system's choosing of some other width.
TEST_F(MainWindowTest, ControlsDrawInAFaceOfTheDesignedWidthWithCyrillicAtTheDesignedHeight) {
  const std::wstring dialogFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans"};
  // The test environment has the design's own face.
  EXPECT_EQ(FontFace(reinterpret_cast<HFONT>(SendMessageW(Item(TForm1::kLabel1), WM_GETFONT, 0, 0))),
            L"MS Sans Serif");
  for (int id : {TForm1::kLabel1, TForm1::kEdit1, TForm1::kButton3, TForm1::kCheckBox1}) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(Item(id), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << id;
    const std::wstring face = FontFace(font);
    EXPECT_NE(std::find(std::begin(dialogFaces), std::end(dialogFaces), face), std::end(dialogFaces))
        << test::Narrow(face);
    LOGFONTW description{};
    GetObjectW(font, sizeof(description), &description);
    EXPECT_EQ(description.lfHeight, -11) << id;
    HDC dc = GetDC(Item(id));
    HGDIOBJ previous = SelectObject(dc, font);
    EXPECT_EQ(GetTextCharset(dc), RUSSIAN_CHARSET) << id;
    SelectObject(dc, previous);
    ReleaseDC(Item(id), dc);
  }
}

// A label sized to its text shows all of it on its one line: each caption
// ends in a colon, whose ink lies in the label's last few columns.
TEST_F(MainWindowTest, LabelsShowTheirWholeCaption) {
  UpdateWindow(Form1->Handle());
  for (int id : {TForm1::kLabel1, TForm1::kLabel4, TForm1::kLabel3, TForm1::kLabel6, TForm1::kLabel5}) {
    HWND label = Item(id);
    RECT client;
    GetClientRect(label, &client);
    HDC dc = GetDC(label);
    const COLORREF background = GetPixel(dc, client.right - 1, 0);
    int ink = 0;
    for (int x = client.right - 4; x < client.right; ++x)
      for (int y = 0; y < client.bottom; ++y)
        if (GetPixel(dc, x, y) != background) ++ink;
    ReleaseDC(label, dc);
    EXPECT_GT(ink, 0) << test::Narrow(TextOf(id));
  }
}

TEST_F(MainWindowTest, ProgressBarRunsFromZeroToHundredAndTakesPositionsUnchanged) {
  HWND bar = Item(TForm1::kProgressBar1);
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_FALSE(GetWindowLongW(bar, GWL_STYLE) & PBS_SMOOTH) << "segmented";
  Form1->RowDone(37);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 37);
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsAndShortcut) {
  HMENU bar = GetMenu(Form1->Handle());
  ASSERT_NE(bar, nullptr);
  auto caption = [](HMENU menu, UINT position) {
    wchar_t text[64] = L"";
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return std::wstring(text);
  };
  ASSERT_EQ(GetMenuItemCount(bar), 2);
  EXPECT_EQ(caption(bar, 0), L"&Файл");
  EXPECT_EQ(caption(bar, 1), L"&Справка");
  HMENU file = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(file), 3);
  EXPECT_EQ(caption(file, 0), L"Открыть\tCtrl+O");
  EXPECT_EQ(caption(file, 1), L"&Выполнить");
  EXPECT_EQ(caption(file, 2), L"В&ыход");
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(TForm1::kN2));
  EXPECT_EQ(GetMenuItemID(file, 1), static_cast<UINT>(TForm1::kN8));
  EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(TForm1::kN3));
  HMENU help = GetSubMenu(bar, 1);
  ASSERT_EQ(GetMenuItemCount(help), 1);
  EXPECT_EQ(caption(help, 0), L"О программе");
  EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(TForm1::kN7));
}

TEST_F(MainWindowTest, PollEnablesExecuteOnlyForAFourCharacterPathAndBothSizes) {
  EXPECT_EQ(Form1->PollTimer().Interval(), 1);
  LetThePollRun();
  EXPECT_FALSE(ExecuteEnabled());
  EXPECT_FALSE(MenuExecuteEnabled());

  Type(TForm1::kEdit1, L"abc");
  Type(TForm1::kEdit3, L"1");
  Type(TForm1::kEdit4, L"2");
  LetThePollRun();
  EXPECT_FALSE(ExecuteEnabled()) << "three characters are not enough";
  EXPECT_FALSE(MenuExecuteEnabled());

  Type(TForm1::kEdit1, L"abcd");
  EXPECT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }, 1000));
  EXPECT_TRUE(MenuExecuteEnabled());

  Type(TForm1::kEdit3, L"");
  EXPECT_TRUE(test::PumpUntil(app, [&] { return !ExecuteEnabled(); }, 1000));
  EXPECT_FALSE(MenuExecuteEnabled());

  Type(TForm1::kEdit3, L"x");
  Type(TForm1::kEdit4, L"");
  EXPECT_TRUE(test::PumpUntil(app, [&] { return !ExecuteEnabled() && !MenuExecuteEnabled(); }, 1000));
}

TEST_F(MainWindowTest, PollRunsWhileTheWindowIsDisabled) {
  EnableWindow(Form1->Handle(), FALSE);
  Type(TForm1::kEdit1, L"C:\\a.bmp");
  Type(TForm1::kEdit3, L"1");
  Type(TForm1::kEdit4, L"1");
  EXPECT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }, 1000));
  EnableWindow(Form1->Handle(), TRUE);
}

TEST_F(MainWindowTest, BrowseShowsThePathAndTheSizeAsPlainNumbers) {
  const std::wstring picture = folder.File(L"картинка.bmp");
  test::WriteSolidBmp(picture, 640, 480, 10, 20, 30);
  RECT dialogRect{};
  bool mainEnabledDuringDialog = true;
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    GetWindowRect(dialog, &dialogRect);
    mainEnabledDuringDialog = IsWindowEnabled(Form1->Handle()) != FALSE;
    return test::ConfirmFileDialog(picture)(dialog);
  });
  Click(TForm1::kButton1);
  ASSERT_TRUE(driver.Finished());

  EXPECT_EQ(TextOf(TForm1::kEdit1), picture);
  EXPECT_EQ(TextOf(TForm1::kLabel7), L"640");
  EXPECT_EQ(TextOf(TForm1::kLabel2), L"480");
  EXPECT_GE(ClientRectOf(TForm1::kLabel7).right - ClientRectOf(TForm1::kLabel7).left, 12) << "the whole number shows";
  EXPECT_EQ(Form1->State().SourceFileName, test::Narrow(picture));
  EXPECT_EQ(Form1->State().OldWidth, 640);
  EXPECT_EQ(Form1->State().OldHeight, 480);
  EXPECT_FALSE(mainEnabledDuringDialog);
  EXPECT_TRUE(IsWindowEnabled(Form1->Handle()));

  // Centred across, one third down the monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(Form1->Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const LONG width = dialogRect.right - dialogRect.left, height = dialogRect.bottom - dialogRect.top;
  const LONG monitorWidth = monitor.rcMonitor.right - monitor.rcMonitor.left;
  const LONG monitorHeight = monitor.rcMonitor.bottom - monitor.rcMonitor.top;
  EXPECT_EQ(dialogRect.left, monitor.rcMonitor.left + (monitorWidth - width) / 2);
  EXPECT_EQ(dialogRect.top, monitor.rcMonitor.top + (monitorHeight - height) / 3);
}

TEST_F(MainWindowTest, OpenDialogStartsFromTheLastConfirmedPathAndACancelReadsItAgain) {
  const std::wstring first = folder.File(L"first.bmp");
  test::WriteSolidBmp(first, 640, 480, 1, 2, 3);
  Browse(first);
  // The picture changes on disk; a cancelled Browse reads the chosen one again.
  test::WriteSolidBmp(first, 30, 20, 1, 2, 3);
  std::wstring nameShown;
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    nameShown = WindowText(GetDlgItem(dialog, cmb13));
    return test::CancelDialog()(dialog);
  });
  SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN2, 0);  // "Открыть"
  ASSERT_TRUE(driver.Finished());
  EXPECT_NE(nameShown.find(L"first.bmp"), std::wstring::npos) << test::Narrow(nameShown);
  EXPECT_EQ(Form1->OpenDialog().FileName, first);
  EXPECT_EQ(TextOf(TForm1::kLabel7), L"30");
  EXPECT_EQ(TextOf(TForm1::kLabel2), L"20");
}

TEST_F(MainWindowTest, CancelledBrowseWithoutAPictureDoesNothing) {
  DialogDriver driver;
  driver.Then(test::CancelDialog());
  Click(TForm1::kButton1);
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(TextOf(TForm1::kEdit1), L"");
  EXPECT_EQ(TextOf(TForm1::kLabel7), L"   ");
  EXPECT_EQ(Form1->OpenDialog().FileName, L"");
}

TEST_F(MainWindowTest, FailedBrowseShowsTheErrorAndKeepsTheOldSize) {
  const std::wstring good = folder.File(L"good.bmp");
  const std::wstring bad = folder.File(L"bad.bmp");
  test::WriteSolidBmp(good, 640, 480, 1, 2, 3);
  HANDLE file = CreateFileW(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, "XX not a bitmap, only some text", 31, &written, nullptr);
  CloseHandle(file);
  Browse(good);

  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ConfirmFileDialog(bad));
  driver.Then(test::ReadAndConfirmBox(&box));
  Click(TForm1::kButton1);
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(box.text, L"Bitmap image is not valid.");
  EXPECT_EQ(box.caption, L"Stretchwell");
  EXPECT_EQ(TextOf(TForm1::kEdit1), bad);
  EXPECT_EQ(TextOf(TForm1::kLabel7), L"640");
  EXPECT_EQ(TextOf(TForm1::kLabel2), L"480");
  EXPECT_EQ(Form1->State().OldWidth, 640);
  EXPECT_TRUE(IsWindowEnabled(Form1->Handle()));
}

TEST_F(MainWindowTest, RunToBmpWritesTheResizedPictureAndResetsTheFields) {
  const std::wstring source = folder.File(L"source.bmp");
  const std::wstring target = folder.File(L"результат.bmp");
  test::WriteSolidBmp(source, 640, 480, 0x20, 0x80, 0xE0);
  RunTo(source, L"320", L"240", 0, target);

  EXPECT_EQ(saveTitle, L"Сохраняем модифицированный файл");
  EXPECT_EQ(saveName, L"*.bmp");
  EXPECT_FALSE(mainEnabledDuringSave);
  const std::vector<uint8_t> bytes = test::ReadWholeFile(target);
  ASSERT_GE(bytes.size(), 54u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  Picture written;
  LoadBmpFile(written, test::Narrow(target));
  EXPECT_EQ(written.Width(), 320);
  EXPECT_EQ(written.Height(), 240);
  // A picture of one colour stays that colour (red in the low byte).
  EXPECT_EQ(written.ReadPixel(0, 0), 0x2080E0u);
  EXPECT_EQ(written.ReadPixel(319, 239), 0x2080E0u);
  EXPECT_EQ(Form1->State().TargetFileName, test::Narrow(target));
  ExpectFieldsReset();
}

TEST_F(MainWindowTest, RunToJpgWritesAJpegWhateverTheTypedExtension) {
  const std::wstring source = folder.File(L"source.bmp");
  const std::wstring target = folder.File(L"named like a bitmap.bmp");
  test::WriteSolidBmp(source, 640, 480, 0x20, 0x80, 0xE0);
  RunTo(source, L"64", L"48", 1, target);

  EXPECT_EQ(saveName, L"*.jpg");
  const std::vector<uint8_t> bytes = test::ReadWholeFile(target);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  WorkJpeg jpeg;
  jpeg.LoadFromFile(test::Narrow(target));
  Picture decoded;
  jpeg.CopyInto(decoded);
  EXPECT_EQ(decoded.Width(), 64);
  EXPECT_EQ(decoded.Height(), 48);
  const ColorValue middle = decoded.ReadPixel(32, 24);
  EXPECT_NEAR(static_cast<int>(middle & 0xFF), 0xE0, 4);
  EXPECT_NEAR(static_cast<int>((middle >> 8) & 0xFF), 0x80, 4);
  EXPECT_NEAR(static_cast<int>((middle >> 16) & 0xFF), 0x20, 4);
  ExpectFieldsReset();
}

TEST_F(MainWindowTest, CancelledSaveWritesNothingAndResetsEveryField) {
  const std::wstring source = folder.File(L"source.bmp");
  test::WriteSolidBmp(source, 640, 480, 1, 2, 3);
  Browse(source);
  Type(TForm1::kEdit3, L"10");
  Type(TForm1::kEdit4, L"10");
  SendMessageW(Item(TForm1::kCheckBox1), BM_SETCHECK, BST_CHECKED, 0);
  ASSERT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }));
  DialogDriver driver;
  driver.Then(test::CancelDialog());
  SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN8, 0);  // "&Выполнить"
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(driver.DialogsSeen(), 1);
  EXPECT_EQ(Form1->State().TargetFileName, "");
  ExpectFieldsReset();
}

TEST_F(MainWindowTest, InvalidSizeShowsTheErrorForTheHeightFirstAndTheWindowStaysUsable) {
  const std::wstring source = folder.File(L"source.bmp");
  test::WriteSolidBmp(source, 64, 48, 1, 2, 3);
  Browse(source);
  Type(TForm1::kEdit3, L"wide");
  Type(TForm1::kEdit4, L"12a");
  ASSERT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }));
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ReadAndConfirmBox(&box));
  Click(TForm1::kButton3);
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(box.text, L"'12a' is not a valid integer value.");
  EXPECT_EQ(box.caption, L"Stretchwell");
  EXPECT_EQ(driver.DialogsSeen(), 1) << "no save dialog after the failure";
  EXPECT_TRUE(IsWindowEnabled(Form1->Handle()));
  EXPECT_EQ(TextOf(TForm1::kEdit4), L"12a") << "the fields stay for correction";

  // Corrected, the same window runs.
  Type(TForm1::kEdit3, L"32");
  Type(TForm1::kEdit4, L"24");
  DialogDriver cancel;
  cancel.Then(test::CancelDialog());
  Click(TForm1::kButton3);
  EXPECT_TRUE(cancel.Finished());
  ExpectFieldsReset();
}

TEST_F(MainWindowTest, EmptySourcePathFailsWithTheOpenErrorAndNoFullStop) {
  Type(TForm1::kEdit1, L"typed by hand.bmp");
  Type(TForm1::kEdit3, L"1");
  Type(TForm1::kEdit4, L"1");
  ASSERT_TRUE(test::PumpUntil(app, [&] { return ExecuteEnabled(); }));
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ReadAndConfirmBox(&box));
  Click(TForm1::kButton3);
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(box.text, L"Cannot open file ");
}

TEST_F(MainWindowTest, TabFollowsTheTabOrderAndEnterRunsTheDefaultButton) {
  HWND main = Form1->Handle();
  SetForegroundWindow(main);
  SetActiveWindow(main);
  app.ProcessPendingMessages();
  ASSERT_EQ(GetFocus(), Item(TForm1::kEdit1)) << "the first control in the tab order";
  auto press = [&](WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    app.ProcessPendingMessages();
  };
  const HWND order[] = {Item(TForm1::kButton1), Item(TForm1::kEdit3), Item(TForm1::kEdit4),
                        Item(RadioItemId(TForm1::kRadioGroup1, 1)), Item(TForm1::kCheckBox1),
                        Item(TForm1::kEdit1)};  // the disabled Execute button is skipped
  for (HWND expected : order) {
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), expected) << test::Narrow(WindowText(expected)) << " got "
                                    << GetDlgCtrlID(GetFocus()) << " wanted " << GetDlgCtrlID(expected);
  }

  MakeReadyToRun();
  SetFocus(Item(TForm1::kEdit4));
  DialogDriver driver;
  driver.Then(test::CancelDialog());
  press(VK_RETURN);
  EXPECT_TRUE(test::PumpUntil(app, [&] { return driver.Finished(); }));
  EXPECT_EQ(driver.DialogsSeen(), 1) << "Enter started the run";
}

TEST_F(MainWindowTest, CtrlOOpensTheBrowseDialog) {
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE saved = keys[VK_CONTROL];
  keys[VK_CONTROL] = kKeyDown;
  SetKeyboardState(keys);
  DialogDriver driver;
  driver.Then(test::CancelDialog());
  PostMessageW(Item(TForm1::kEdit3), WM_KEYDOWN, 'O', 1);
  const bool opened = test::PumpUntil(app, [&] { return driver.Finished(); });
  keys[VK_CONTROL] = saved;
  SetKeyboardState(keys);
  EXPECT_TRUE(opened);
  EXPECT_EQ(driver.DialogsSeen(), 1);
  EXPECT_EQ(TextOf(TForm1::kEdit3), L"") << "the shortcut is not typed into the field";
}

TEST_F(MainWindowTest, CloseArrivingWhileTheWindowIsDisabledStillEndsTheProgram) {
  EnableWindow(Form1->Handle(), FALSE);
  PostMessageW(Form1->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(test::PumpUntil(app, [&] { return app.IsQuitting(); }));
  EXPECT_EQ(Form1->State().WorkBitmap, nullptr);
}

// The taskbar entry's Close is the system's close command to the main window.
TEST_F(MainWindowTest, SystemCloseCommandWhileTheWindowIsDisabledEndsTheProgram) {
  SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN7, 0);  // "О программе"
  ASSERT_FALSE(IsWindowEnabled(Form1->Handle()));
  PostMessageW(Form1->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(test::PumpUntil(app, [&] { return app.IsQuitting(); }));
  EXPECT_EQ(Form1->State().WorkBitmap, nullptr);
  EXPECT_EQ(Form1->State().WorkJpeg, nullptr);
}

TEST_F(MainWindowTest, SystemCloseDuringASecondBrowseEndsTheProgramWithoutReadingAgain) {
  const std::wstring source = folder.File(L"source.bmp");
  test::WriteSolidBmp(source, 8, 8, 1, 2, 3);
  Browse(source);
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    SendMessageW(Form1->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the taskbar's Close
    // The close it posts is handled while the dialog is still up.
    EXPECT_TRUE(test::PumpUntil(app, [&] { return app.IsQuitting(); }));
    return test::CancelDialog()(dialog);
  });
  Click(TForm1::kButton1);
  ASSERT_TRUE(driver.Finished());
  EXPECT_EQ(Form1->State().WorkBitmap, nullptr);
}

TEST_F(MainWindowTest, ExecuteDuringARunStartsNoSecondRun) {
  MakeReadyToRun();
  DialogDriver driver;
  // A second save dialog would be a run inside the run: cancelled too.
  driver.Then([&](HWND dialog) {
    PostMessageW(Form1->Handle(), WM_COMMAND, MAKEWPARAM(TForm1::kButton3, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(TForm1::kButton3)));
    SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN8, 0);  // "Выполнить" in the menu
    return test::CancelDialog()(dialog);
  });
  driver.Then(test::CancelDialog());
  Click(TForm1::kButton3);
  LetThePollRun();
  EXPECT_EQ(driver.DialogsSeen(), 1);
  ExpectFieldsReset();
}

TEST_F(MainWindowTest, TheFocusLeavesExecuteWhenThePollDisablesIt) {
  HWND main = Form1->Handle();
  SetForegroundWindow(main);
  SetActiveWindow(main);
  MakeReadyToRun();
  SetFocus(Item(TForm1::kButton3));
  ASSERT_EQ(GetFocus(), Item(TForm1::kButton3));
  Type(TForm1::kEdit4, L"");
  LetThePollRun();
  EXPECT_FALSE(ExecuteEnabled());
  EXPECT_EQ(GetFocus(), Item(TForm1::kEdit1)) << "focus on " << GetDlgCtrlID(GetFocus());
}

TEST_F(MainWindowTest, ExitFromTheMenuReleasesThePicturesOnceAndQuits) {
  EXPECT_NE(Form1->State().WorkBitmap, nullptr);
  EXPECT_NE(Form1->State().WorkJpeg, nullptr);
  SendMessageW(Form1->Handle(), WM_COMMAND, TForm1::kN3, 0);  // "В&ыход"
  EXPECT_EQ(Form1->State().WorkBitmap, nullptr);
  EXPECT_EQ(Form1->State().WorkJpeg, nullptr);
  EXPECT_TRUE(test::PumpUntil(app, [&] { return app.IsQuitting(); }));
  // Commands still in the queue find the picture objects gone and do nothing.
  DialogDriver driver;
  Click(TForm1::kButton1);
  Click(TForm1::kButton3);
  EXPECT_EQ(driver.DialogsSeen(), 0);
  EXPECT_TRUE(IsWindowVisible(Form1->Handle()));
}

TEST_F(MainWindowTest, ScreenDepthDecidesTheEightBitOutput) {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(app.EightBitOutput(), bits <= 8);
}

}  // namespace
}  // namespace sw
