// The shell under Wine: the error box, the windows it disables, the loop's
// draining and quitting, the timer and the close sequence.

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "WinTestSupport.h"
#include "core/Messages.h"
#include "image/resize/X87.h"
#include "ui/BaseWindow.h"
#include "ui/FileDialog.h"
#include "ui/Shell.h"
#include "ui/Timer.h"
#include "ui/WindowText.h"

namespace sw {
namespace {

using test::DialogDriver;
using test::MessageBoxContents;

constexpr UINT kThrowMessage = WM_APP + 1;
constexpr UINT kCountMessage = WM_APP + 2;

class TestWindow : public BaseWindow {
 public:
  std::function<void()> onThrowMessage;   // runs on kThrowMessage
  std::function<void()> onCreate;         // the creation handler
  std::function<void()> onConstruct;      // building the layout
  std::function<void()> onPaint;
  std::function<void()> onDestroy;
  int counted = 0;
  int closes = 0;
  bool visible = true;

  explicit TestWindow(Application& app) : BaseWindow(app) {}
  ~TestWindow() override { Destroy(); }
  void CloseHandler() override { ++closes; }

 protected:
  WindowDesign Design() override {
    WindowDesign design;
    design.className = L"StretchwellTestWindow";
    design.caption = L"test";
    design.style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
    design.left = 10;
    design.top = 10;
    design.clientWidth = 120;
    design.clientHeight = 80;
    return design;
  }
  void Construct() override {
    if (onConstruct) onConstruct();
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_CREATE:
        if (onCreate) onCreate();
        return 0;
      case kThrowMessage:
        if (onThrowMessage) onThrowMessage();
        return 1;
      case kCountMessage:
        ++counted;
        return 1;
      case WM_DESTROY:
        if (onDestroy) onDestroy();
        return 0;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(Handle(), &paint);
        EndPaint(Handle(), &paint);
        if (onPaint) onPaint();
        return 0;
      }
      default:
        return BaseWindow::HandleMessage(message, wParam, lParam);
    }
  }
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { app.SetTitle(L"Stretchwell"); }
  void TearDown() override {
    app.Shutdown();
    app.ProcessPendingMessages();
  }

  // Reports `text` and returns what the box showed.
  MessageBoxContents BoxFor(const std::string& text) {
    MessageBoxContents contents;
    DialogDriver driver;
    driver.Then(test::ReadAndConfirmBox(&contents));
    app.ReportError(text);
    EXPECT_TRUE(driver.Finished()) << "no box for '" << text << "'";
    return contents;
  }

  Application app;
};

TEST_F(ShellTest, ErrorBoxShowsTheTextWithTheFullStopRuleUnderTheTitle) {
  struct Case {
    std::string reported;
    std::wstring shown;
  };
  const Case cases[] = {
      {"Cannot open file C:\\pictures\\a.bmp", L"Cannot open file C:\\pictures\\a.bmp."},
      {"JPEG error #52", L"JPEG error #52."},
      {"Bitmap image is not valid.", L"Bitmap image is not valid."},
      {"ends in a bracket (x)", L"ends in a bracket (x)"},
      {"'  ' is not a valid integer value", L"'  ' is not a valid integer value."},
      {"Ошибка в файле", L"Ошибка в файле."},
      {"Cannot open file ", L"Cannot open file "},
      {"line\r\n", L"line\r\n"},
  };
  for (const Case& c : cases) {
    const MessageBoxContents box = BoxFor(c.reported);
    EXPECT_EQ(box.text, c.shown) << c.reported;
    EXPECT_EQ(box.caption, L"Stretchwell");
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(box.stopIcon);
  }
}

TEST_F(ShellTest, EmptyErrorTextGivesAnEmptyBox) {
  const MessageBoxContents box = BoxFor("");
  EXPECT_EQ(box.text, L"");
  EXPECT_EQ(box.caption, L"Stretchwell");
}

TEST_F(ShellTest, HandlerFailuresAreReportedByKindAndTheWindowGoesOn) {
  TestWindow window(app);
  window.Create();
  struct Case {
    std::function<void()> fail;
    std::wstring shown;
  };
  const Case cases[] = {
      {[] { throw msg::FileOpen("x.jpg"); }, L"Cannot open file x.jpg."},
      {[] { throw std::bad_alloc(); }, L"Out of memory."},
      {[] { throw std::runtime_error("something else"); }, L"something else."},
  };
  for (const Case& c : cases) {
    window.onThrowMessage = c.fail;
    MessageBoxContents box;
    DialogDriver driver;
    driver.Then(test::ReadAndConfirmBox(&box));
    // The failed handler is abandoned; the window procedure returns normally.
    EXPECT_EQ(SendMessageW(window.Handle(), kThrowMessage, 0, 0), 0);
    EXPECT_EQ(box.text, c.shown);
  }
  EXPECT_EQ(SendMessageW(window.Handle(), kCountMessage, 0, 0), 1);
  EXPECT_EQ(window.counted, 1);
}

TEST_F(ShellTest, ErrorBoxDisablesExactlyTheVisibleEnabledWindowsAndRestoresThem) {
  TestWindow first(app), second(app), disabled(app), hidden(app);
  hidden.visible = false;
  for (TestWindow* window : {&first, &second, &disabled, &hidden}) window->Create();
  EnableWindow(disabled.Handle(), FALSE);
  SetActiveWindow(second.Handle());
  const HWND activeBefore = GetActiveWindow();

  bool firstEnabled = true, secondEnabled = true, hiddenEnabled = false;
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    firstEnabled = IsWindowEnabled(first.Handle());
    secondEnabled = IsWindowEnabled(second.Handle());
    hiddenEnabled = IsWindowEnabled(hidden.Handle());
    return test::ReadAndConfirmBox(&box)(dialog);
  });
  app.ReportError("boom");

  EXPECT_EQ(box.text, L"boom.");
  EXPECT_FALSE(firstEnabled);
  EXPECT_FALSE(secondEnabled);
  EXPECT_TRUE(hiddenEnabled) << "a hidden window is left alone";
  EXPECT_TRUE(IsWindowEnabled(first.Handle()));
  EXPECT_TRUE(IsWindowEnabled(second.Handle()));
  EXPECT_FALSE(IsWindowEnabled(disabled.Handle())) << "a window the box did not disable stays disabled";
  EXPECT_TRUE(IsWindowEnabled(hidden.Handle()));
  EXPECT_EQ(GetActiveWindow(), activeBefore);
}

// A run disables the main window and then asks for its target: the save
// dialog's end must not enable the window before the run does.
TEST_F(ShellTest, AWindowDisabledBeforeADialogStaysDisabledAfterIt) {
  TestWindow owner(app);
  owner.Create();
  SetActiveWindow(owner.Handle());
  EnableWindow(owner.Handle(), FALSE);
  for (FileDialog::Kind kind : {FileDialog::Kind::Save, FileDialog::Kind::Open}) {
    FileDialog dialog(app, kind, L"Картинки|*.bmp;*.jpg;*.jpeg");
    DialogDriver driver;
    driver.Then(test::CancelDialog());
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(driver.Finished());
    EXPECT_FALSE(IsWindowEnabled(owner.Handle()));
  }
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ReadAndConfirmBox(&box));
  app.ReportError("boom");
  EXPECT_EQ(box.text, L"boom.");
  EXPECT_FALSE(IsWindowEnabled(owner.Handle()));
}

TEST_F(ShellTest, ErrorBoxReleasesTheMouseCapture) {
  TestWindow window(app);
  window.Create();
  SetCapture(window.Handle());
  ASSERT_EQ(GetCapture(), window.Handle());
  HWND captureDuringBox = window.Handle();
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    captureDuringBox = GetCapture();
    return test::ReadAndConfirmBox(&box)(dialog);
  });
  app.ReportError("captured");
  EXPECT_EQ(box.text, L"captured.");
  EXPECT_EQ(captureDuringBox, nullptr);
}

TEST_F(ShellTest, TimerTicksWhileAnErrorBoxIsOpen) {
  Timer timer(app);
  int ticks = 0;
  timer.SetInterval(10);
  timer.SetOnTimer([&] { ++ticks; });
  int ticksWhenBoxOpened = -1;
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then([&](HWND dialog) {
    if (ticksWhenBoxOpened < 0) ticksWhenBoxOpened = ticks;
    if (ticks < ticksWhenBoxOpened + 3) return false;  // keep the box up a while
    return test::ReadAndConfirmBox(&box)(dialog);
  });
  app.ReportError("waiting");
  EXPECT_EQ(box.text, L"waiting.");
  EXPECT_GE(ticks, ticksWhenBoxOpened + 3);
}

TEST_F(ShellTest, TimerIsArmedOnlyWithAHandlerAndAnInterval) {
  Timer timer(app);
  int ticks = 0;
  EXPECT_EQ(timer.Interval(), 1000);
  timer.SetInterval(10);
  Sleep(50);
  app.ProcessPendingMessages();
  EXPECT_EQ(ticks, 0) << "no handler, no ticks";

  timer.SetOnTimer([&] { ++ticks; });
  EXPECT_TRUE(test::PumpUntil(app, [&] { return ticks >= 2; }));

  timer.SetInterval(0);
  app.ProcessPendingMessages();
  const int stopped = ticks;
  Sleep(50);
  app.ProcessPendingMessages();
  EXPECT_EQ(ticks, stopped) << "interval 0 stops it";
}

TEST_F(ShellTest, FailingTickIsReportedAndTheTimerGoesOn) {
  Timer timer(app);
  int ticks = 0;
  timer.SetInterval(10);
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ReadAndConfirmBox(&box));
  timer.SetOnTimer([&] {
    if (++ticks == 1) throw msg::NotEnoughTimers();
  });
  EXPECT_TRUE(test::PumpUntil(app, [&] { return ticks >= 3; }));
  EXPECT_EQ(box.text, L"Not enough timers available.");
}

TEST_F(ShellTest, QuitSeenDuringADrainingDoesNotStopIt) {
  TestWindow window(app);
  window.Create();
  app.ProcessPendingMessages();
  bool quittingAtPaint = false;
  int paints = 0;
  window.onPaint = [&] {
    ++paints;
    quittingAtPaint = app.IsQuitting();
  };
  InvalidateRect(window.Handle(), nullptr, TRUE);
  PostQuitMessage(0);
  PostMessageW(window.Handle(), kCountMessage, 0, 0);
  EXPECT_FALSE(app.IsQuitting());
  app.ProcessPendingMessages();
  EXPECT_TRUE(app.IsQuitting());
  EXPECT_EQ(window.counted, 1);
  EXPECT_EQ(paints, 1);
  // Painting comes after the quit message in the queue's order.
  EXPECT_TRUE(quittingAtPaint);
}

TEST_F(ShellTest, EndSessionSetsTheQuittingFlagAndQueryEndSessionAgrees) {
  TestWindow window(app);
  window.Create();
  EXPECT_EQ(SendMessageW(window.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(window.Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_FALSE(app.IsQuitting()) << "a cancelled log-off changes nothing";
  SendMessageW(window.Handle(), WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(app.IsQuitting());
  EXPECT_EQ(window.closes, 0) << "no close sequence";
}

TEST_F(ShellTest, ClosingTheMainWindowRunsItsCloseHandlerOnceAndQuits) {
  TestWindow* main = nullptr;
  TestWindow* other = nullptr;
  app.CreateForm(main);
  app.CreateForm(other);
  ASSERT_EQ(app.MainWindow(), main);

  SendMessageW(other->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(other->Handle())) << "another window only hides";
  EXPECT_TRUE(IsWindow(other->Handle()));
  EXPECT_EQ(other->closes, 1);
  app.ProcessPendingMessages();
  EXPECT_FALSE(app.IsQuitting());

  PostMessageW(main->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(test::PumpUntil(app, [&] { return app.IsQuitting(); }));
  EXPECT_EQ(main->closes, 1);
  EXPECT_TRUE(IsWindowVisible(main->Handle())) << "shut-down destroys it, not the close";
}

TEST_F(ShellTest, ShutDownDestroysTheWindowsLastCreatedFirst) {
  TestWindow* main = nullptr;
  TestWindow* other = nullptr;
  app.CreateForm(main);
  app.CreateForm(other);
  const HWND mainHandle = main->Handle();
  const HWND otherHandle = other->Handle();
  bool otherGoneFirst = false;
  main->onDestroy = [&] { otherGoneFirst = !IsWindow(otherHandle); };
  app.Shutdown();
  EXPECT_TRUE(otherGoneFirst);
  EXPECT_FALSE(IsWindow(mainHandle));
  EXPECT_EQ(app.MainWindow(), nullptr);
}

TEST_F(ShellTest, FailureWhileBuildingAWindowPassesOnAndEmptiesTheReference) {
  struct FailingWindow : TestWindow {
    explicit FailingWindow(Application& app) : TestWindow(app) {
      onConstruct = [] { throw msg::NotEnoughTimers(); };
    }
  };
  FailingWindow* window = nullptr;
  try {
    app.CreateForm(window);
    FAIL() << "no failure";
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::Timer);
    EXPECT_EQ(error.Text(), "Not enough timers available");
  }
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(app.MainWindow(), nullptr);
}

TEST_F(ShellTest, FailureInTheCreationHandlerIsReportedAndTheWindowIsBuilt) {
  struct FailingHandlerWindow : TestWindow {
    explicit FailingHandlerWindow(Application& app) : TestWindow(app) {
      onCreate = [] { throw msg::ReadError(); };
    }
  };
  FailingHandlerWindow* window = nullptr;
  MessageBoxContents box;
  DialogDriver driver;
  driver.Then(test::ReadAndConfirmBox(&box));
  app.CreateForm(window);
  EXPECT_EQ(box.text, L"Stream read error.");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindow(window->Handle()));
  EXPECT_EQ(app.MainWindow(), window);
}

TEST(StartupFailure, TextNamesKindModuleAndPositionThenTheMessage) {
  EXPECT_EQ(msg::StartupFailure("EOutOfResources", "Stretchwell.exe", 0x1A2B, "Not enough timers available"),
            "Exception EOutOfResources in module Stretchwell.exe at 00001A2B.\nNot enough timers available.");
  // Unlike the error box, only a final "." is left alone here.
  EXPECT_EQ(msg::StartupFailure("E", "m.exe", 0xFFFFFFFF, "ends (x)"),
            "Exception E in module m.exe at FFFFFFFF.\nends (x).");
  EXPECT_EQ(msg::StartupFailure("E", "m.exe", 0, "done."), "Exception E in module m.exe at 00000000.\ndone.");
  EXPECT_EQ(msg::StartupFailure("E", "m.exe", 0, ""), "Exception E in module m.exe at 00000000.\n");
  EXPECT_EQ(msg::ApplicationErrorCaption(), "Application Error");
}

TEST(FloatingPoint, InitializeSetsExtendedPrecisionNearestWithExceptionsMasked) {
  const uint16_t saved = X87ControlWord();
  // Start from the other settings, as a process on real Windows would.
  const uint32_t savedMxcsr = Mxcsr();
  SetX87ControlWord(kX87Precision24 | kX87RoundTowardZero | kX87ExceptionMasks);
  SetMxcsr(kMxcsrExceptionMasks | kMxcsrRoundTowardZero | kMxcsrFlushToZero);
  Application app;
  app.Initialize();
  const uint16_t word = X87ControlWord();
  const uint32_t mxcsr = Mxcsr();
  SetX87ControlWord(saved);
  SetMxcsr(savedMxcsr);
  EXPECT_EQ(mxcsr & (kMxcsrRoundingMask | kMxcsrFlushToZero | kMxcsrDenormalsAreZero), kMxcsrRoundNearest);
  EXPECT_EQ(mxcsr & kMxcsrExceptionMasks, kMxcsrExceptionMasks);
  EXPECT_EQ(word & kX87PrecisionMask, kX87Precision64) << "64-bit precision";
  EXPECT_EQ(word & kX87RoundingMask, kX87RoundNearest) << "round to nearest";
  EXPECT_EQ(word & kX87ExceptionMasks, kX87ExceptionMasks) << "every exception masked";
}

}  // namespace
}  // namespace sw
