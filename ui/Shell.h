#pragma once
// The application shell: start-up order, the one message loop, the quitting
// flag, closing, showing and enabling windows, and the error report, the one
// place where a failure becomes visible to the user. The windows are handed
// the application that creates them.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sw {

class BaseWindow;

class Application {
 public:
  Application() = default;
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up steps 1 and 2: the floating-point unit for the whole process and
  // the show command the process was started with.
  void Initialize();
  int StartupShowCommand() const { return showCommand_; }

  void SetTitle(const std::wstring& title);
  const std::wstring& Title() const { return title_; }

  // Whether decoded JPEG pictures are paletted: decided once at start-up,
  // from a screen of 8 bits per pixel or fewer.
  void DecideEightBitOutput();
  bool EightBitOutput() const { return eightBitOutput_; }

  // Allocates the window object (handing it this application), fills the
  // global reference, then builds the window. A failure while building
  // (outside the window's creation handler) empties the reference and passes
  // on. The first window becomes the main window.
  template <typename T>
  void CreateForm(T*& reference) {
    auto form = std::make_unique<T>(*this);
    reference = form.get();
    const bool first = mainWindow_ == nullptr;
    if (first) mainWindow_ = form.get();
    try {
      form->Create();
    } catch (...) {
      reference = nullptr;
      if (first) mainWindow_ = nullptr;
      throw;
    }
    forms_.push_back(std::move(form));
  }
  BaseWindow* MainWindow() const { return mainWindow_; }

  // Shows the main window by the start-up show command, then loops until the
  // quitting flag is set.
  void Run();
  void ShowMainWindow();
  void RunLoop();
  // Owned pop-ups hidden, windows destroyed last-created first.
  void Shutdown();

  // One message off the queue and handled; false when there was none.
  bool ProcessMessage();
  // One turn of the loop: a message, or a wait for the next one.
  void HandleMessage();
  // Every waiting message; a quit met on the way only sets the flag.
  void ProcessPendingMessages();
  bool IsQuitting() const { return quitting_; }
  // Log-off or shut-down: the flag without the close sequence.
  void SetQuitting() { quitting_ = true; }
  void RequestQuit();

  // The error box: capture released, the final full stop, the title as caption.
  void ReportError(const std::string& utf8Text) noexcept;
  // Reports the exception being handled (call only inside a catch block).
  void ReportCurrentException() noexcept;
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);

  // The one close sequence: close handler, then quit for the main window or
  // hide for any other.
  void CloseWindow(BaseWindow& window);
  // Visible and on top, modeless.
  void ShowWindow(BaseWindow& window);
  void HideWindow(BaseWindow& window);
  void SetEnabled(BaseWindow& window, bool enabled);

 private:
  std::wstring title_;
  int showCommand_ = SW_SHOWDEFAULT;
  bool eightBitOutput_ = false;
  bool quitting_ = false;
  BaseWindow* mainWindow_ = nullptr;
  std::vector<std::unique_ptr<BaseWindow>> forms_;
};

// Runs `work`; any exception it raises goes to `app`'s error report, never further.
template <typename Work>
void Guarded(Application& app, Work&& work) noexcept {
  try {
    work();
  } catch (...) {
    app.ReportCurrentException();
  }
}

// While alive, every visible and enabled top-level window of the program
// except the owner is disabled (the box or dialog disables and re-enables its
// owner itself); afterwards exactly those are enabled again and the active
// window and the keyboard focus come back. The owner is the active window, or
// the main window when none is active, so a box shows on the monitor the user
// is looking at.
class ModalSection {
 public:
  explicit ModalSection(const Application& app);
  ~ModalSection();
  ModalSection(const ModalSection&) = delete;
  ModalSection& operator=(const ModalSection&) = delete;

  HWND Owner() const { return owner_; }
  // The window that was active when the section began, or null.
  HWND Active() const { return active_; }

 private:
  HWND active_ = nullptr;
  HWND focus_ = nullptr;
  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;
  std::vector<HWND> disabled_;
};

// Shows the start-up failure box for the exception being handled (call only
// inside a catch block): task-modal, no owner, caption "Application Error".
void ShowStartupFailure(uint32_t codePosition) noexcept;

}  // namespace sw
