#pragma once
// The main window: pick a picture, read its size, type the new size, choose
// the format and the wallpaper option, run and watch the progress.

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/ResizeRun.h"
#include "platform/Handle.h"
#include "ui/BaseWindow.h"
#include "ui/FileDialog.h"
#include "ui/ResourceIds.h"
#include "ui/Timer.h"

namespace sw {

class TForm1 : public BaseWindow, public RunHost, public TargetChooser {
 public:
  enum ControlId : int {
    kEdit1 = 101,
    kButton1,
    kLabel4,
    kLabel7,
    kLabel3,
    kLabel2,
    kLabel6,
    kEdit3,
    kLabel5,
    kEdit4,
    kRadioGroup1,  // items: kRadioGroup1 + 1 ("bmp"), kRadioGroup1 + 2 ("jpg")
    kCheckBox1 = kRadioGroup1 + 3,
    kButton3,
    kProgressBar1,
    kLabel1,
  };
  enum MenuId : int { kN2 = IDM_N2, kN8 = IDM_N8, kN3 = IDM_N3, kN7 = IDM_N7 };

  explicit TForm1(Application& app);
  ~TForm1() override;

  RunState& State() { return state_; }
  FileDialog& OpenDialog() { return OpenDialog1; }
  FileDialog& SaveDialog() { return SaveDialog1; }
  Timer& PollTimer() { return *Timer1; }

  // Event handlers.
  void FormCreate();
  void FormClose();
  void Button1Click();
  void N2Click();
  void Timer1Timer();
  void Button3Click();
  void N8Click();
  void N3Click();
  void N7Click();

  void CloseHandler() override { FormClose(); }
  bool TranslateKeys(MSG& message) override;

  // The run's request, as the size fields, the format group and the check
  // box hold it now.
  RunRequest Request() const;

  // The window as the run's host: the progress bar and the messages after
  // each row, the quit as the stop, the save dialog, the wallpaper.
  void RowDone(int percent) override;
  bool ShouldStop() override;
  void RowsDone() override;
  std::optional<std::string> ChooseTarget(const std::string& title, const std::string& fileName) override;
  void SetDesktopWallpaper(const std::string& path) override;
  void RefreshDesktopWallpaper() override;

 protected:
  WindowDesign Design() override;
  HMENU MenuBar() override;
  void Construct() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnCommand(int id);
  void OnPaint();
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text);
  int FormatIndex() const;
  void HoldInputs(bool held);  // the window is disabled while held
  void ClearInputs();          // Edit1, Edit3, Edit4, Label2, Label7 and CheckBox1
  void SetProgress(int percent);

  RunState state_;
  bool running_ = false;  // within Button3Click's run
  int shownProgress_ = 0;  // the bar's position, as last set
  // When the run's rows last had the messages handled; the queue is asked at
  // most once in the poll timer's real period: the system raises the 1 ms it
  // is armed with to its minimum.
  static constexpr std::chrono::milliseconds kMessagePassInterval{USER_TIMER_MINIMUM};
  std::chrono::steady_clock::time_point lastMessagePass_{};
  HACCEL accelerators_ = nullptr;
  std::unique_ptr<Timer> Timer1;
  FileDialog OpenDialog1;
  FileDialog SaveDialog1;
};

extern TForm1* Form1;

}  // namespace sw
