#pragma once
// Helpers for the tests that drive the program's real windows and the
// system's boxes and dialogs under Wine.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/Shell.h"

namespace sw::test {

// Top-level windows of this thread (hidden ones included).
std::vector<HWND> ThreadWindows();
// The visible system dialog (class "#32770") of this thread, or null.
HWND FindSystemDialog();

std::wstring ClassName(HWND window);

// What an error box shows.
struct MessageBoxContents {
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;  // visible buttons' captions
  bool stopIcon = false;
};
MessageBoxContents ReadMessageBox(HWND box);

// Runs actions on the system dialogs that appear while the test waits inside
// some modal loop (a box's or a file dialog's): a thread timer fires inside
// that loop. Each action gets the dialog and returns true when it is done
// with it; false asks to be called again at the next tick.
class DialogDriver {
 public:
  using Action = std::function<bool(HWND dialog)>;
  DialogDriver();
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  void Then(Action action) { actions_.push_back(std::move(action)); }
  bool Finished() const { return actions_.empty(); }
  int DialogsSeen() const { return dialogsSeen_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::deque<Action> actions_;
  UINT_PTR timer_ = 0;
  HWND lastDialog_ = nullptr;
  int dialogsSeen_ = 0;
  DWORD started_ = 0;
};

// Actions for DialogDriver.
// Reads the error box into `contents`, then presses OK.
DialogDriver::Action ReadAndConfirmBox(MessageBoxContents* contents);
// Types `path` into a file dialog's name box and confirms.
DialogDriver::Action ConfirmFileDialog(const std::wstring& path);
DialogDriver::Action CancelDialog();

// Handles messages until `done` holds or `timeoutMs` has passed; the result
// of `done` at the end.
bool PumpUntil(sw::Application& app, const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Polls `done` (no message handling) until it holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);

// A folder of its own for one test, removed with its files afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Writes a 24-bit bottom-up BMP file of one colour (0xBBGGRR as bytes B, G, R).
void WriteSolidBmp(const std::wstring& path, int32_t width, int32_t height, uint8_t blue, uint8_t green,
                   uint8_t red);
std::vector<uint8_t> ReadWholeFile(const std::wstring& path);
bool FileExists(const std::wstring& path);

std::string Narrow(const std::wstring& text);

// A file of this build by its path below the build folder ("ui\\Stretchwell.exe").
std::wstring BuildFile(const std::wstring& relativePath);

// Stretchwell.exe of this build, started as a process of its own.
class ProgramProcess {
 public:
  ProgramProcess();  // starts it; Started() tells whether that worked
  ~ProgramProcess();  // ends it if it is still running
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  // Its visible top-level window of `className`, waited for up to `timeoutMs`.
  HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs = 20000);
  // Its visible top-level window of `className` now, or null.
  HWND FindWindowOfClass(const wchar_t* className) const;
  // Its exit code, or STILL_ACTIVE after `timeoutMs`. `watch`, when given,
  // is called every few milliseconds while waiting.
  DWORD WaitForExit(DWORD timeoutMs = 20000, const std::function<void()>& watch = nullptr);

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

}  // namespace sw::test
