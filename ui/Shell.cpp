#include "ui/Shell.h"

#include <new>
#include <stdexcept>

#include "core/Error.h"
#include "core/Messages.h"
#include "image/resize/X87.h"
#include "platform/WideText.h"
#include "ui/BaseWindow.h"

namespace sw {
namespace {

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

}  // namespace

Application::~Application() { Shutdown(); }

void Application::Initialize() {
  // 64-bit mantissa and rounding to nearest for the whole process. The
  // exception masks stay set: an unmasked x87 exception would end the process
  // instead of becoming an error, so the divisions that can fail check their
  // operands themselves.
  SetX87ControlWord(static_cast<uint16_t>(
      (X87ControlWord() & ~(kX87PrecisionMask | kX87RoundingMask)) | kX87Precision64 | kX87RoundNearest |
      kX87ExceptionMasks));
  // float and double arithmetic (SSE) rounds to nearest too, masked alike.
  SetMxcsr((Mxcsr() & ~(kMxcsrRoundingMask | kMxcsrFlushToZero | kMxcsrDenormalsAreZero)) | kMxcsrRoundNearest |
           kMxcsrExceptionMasks);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  showCommand_ = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

void Application::SetTitle(const std::wstring& title) {
  // The title is kept to what the system would read back from a window.
  title_ = title.substr(0, 255);
}

void Application::DecideEightBitOutput() {
  if (HDC screen = GetDC(nullptr)) {
    eightBitOutput_ = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) <= 8;
    ReleaseDC(nullptr, screen);
  }
}

void Application::Run() {
  ShowMainWindow();
  RunLoop();
}

void Application::ShowMainWindow() {
  if (!mainWindow_ || !mainWindow_->Handle()) return;
  int command = SW_SHOWNORMAL;
  if (showCommand_ == SW_SHOWMAXIMIZED) command = SW_SHOWMAXIMIZED;
  if (showCommand_ == SW_SHOWMINNOACTIVE) command = SW_SHOWMINNOACTIVE;
  ::ShowWindow(mainWindow_->Handle(), command);
  UpdateWindow(mainWindow_->Handle());
}

void Application::RunLoop() {
  while (!quitting_) Guarded(*this, [this] { HandleMessage(); });
}

void Application::Shutdown() {
  if (mainWindow_ && mainWindow_->Handle()) ShowOwnedPopups(mainWindow_->Handle(), FALSE);
  while (!forms_.empty()) {
    std::unique_ptr<BaseWindow> form = std::move(forms_.back());
    forms_.pop_back();
    if (form.get() == mainWindow_) mainWindow_ = nullptr;
    form.reset();
  }
  mainWindow_ = nullptr;
}

bool Application::ProcessMessage() {
  MSG message;
  if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    quitting_ = true;
    return true;
  }
  if (IsKeyboardMessage(message.message) && message.hwnd) {
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    BaseWindow* window = BaseWindow::FromHandle(root);
    if (window && IsWindowEnabled(root) && window->TranslateKeys(message)) return true;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

void Application::HandleMessage() {
  if (!ProcessMessage()) WaitMessage();
}

void Application::ProcessPendingMessages() {
  while (ProcessMessage()) {
  }
}

void Application::RequestQuit() { PostQuitMessage(0); }

void Application::ReportError(const std::string& utf8Text) noexcept {
  try {
    if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ShowMessageBox(Utf8ToWide(msg::WithFinalFullStop(utf8Text)), title_, MB_OK | MB_ICONSTOP);
  } catch (...) {
    // Nothing is left to tell the user with; the loop goes on.
  }
}

void Application::ReportCurrentException() noexcept {
  try {
    throw;
  } catch (const Error& error) {
    ReportError(error.Text());
  } catch (const std::bad_alloc&) {
    ReportError(msg::OutOfMemory().Text());
  } catch (const std::exception& error) {
    ReportError(error.what());
  } catch (...) {
    ReportError(std::string());
  }
}

int Application::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  ModalSection modal(*this);
  return MessageBoxW(modal.Owner(), text.c_str(), caption.c_str(), flags);
}

void Application::CloseWindow(BaseWindow& window) {
  // Neither window of the program vetoes its closing.
  window.CloseHandler();
  if (&window == mainWindow_)
    RequestQuit();
  else
    HideWindow(window);
}

void Application::ShowWindow(BaseWindow& window) {
  ::ShowWindow(window.Handle(), SW_SHOW);
  BringWindowToTop(window.Handle());
}

void Application::HideWindow(BaseWindow& window) { ::ShowWindow(window.Handle(), SW_HIDE); }

void Application::SetEnabled(BaseWindow& window, bool enabled) {
  HWND handle = window.Handle();
  EnableWindow(handle, enabled ? TRUE : FALSE);
  // Disabling took the focus away from the window's controls; it comes back
  // with the window.
  if (enabled && GetActiveWindow() == handle && !GetFocus()) window.RestoreFocus();
}

namespace {

struct WindowList {
  DWORD thread;
  HWND except;
  std::vector<HWND>* windows;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM parameter) {
  auto* list = reinterpret_cast<WindowList*>(parameter);
  if (window != list->except && IsWindowVisible(window) && IsWindowEnabled(window)) {
    // No exception may cross the system's frames: out of memory ends the walk.
    try {
      list->windows->push_back(window);
    } catch (...) {
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

ModalSection::ModalSection(const Application& app) {
  active_ = GetActiveWindow();
  focus_ = GetFocus();
  if (active_ && IsWindowVisible(active_)) {
    owner_ = active_;
  } else if (app.MainWindow()) {
    owner_ = app.MainWindow()->Handle();
  }
  ownerWasEnabled_ = owner_ && IsWindowEnabled(owner_);
  WindowList list{GetCurrentThreadId(), owner_, &disabled_};
  EnumThreadWindows(list.thread, &DisableOne, reinterpret_cast<LPARAM>(&list));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

ModalSection::~ModalSection() {
  // The box or dialog enables its owner when it ends, even one that was
  // disabled before it began (Wine does): such an owner, a window that a
  // run holds disabled, stays disabled.
  if (owner_ && !ownerWasEnabled_ && IsWindow(owner_)) EnableWindow(owner_, FALSE);
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  if (active_ && IsWindow(active_)) SetActiveWindow(active_);
  if (focus_ && IsWindow(focus_)) SetFocus(focus_);
}

void ShowStartupFailure(uint32_t codePosition) noexcept {
  try {
    std::string kindName = "Exception";
    std::string message;
    try {
      throw;
    } catch (const Error& error) {
      kindName = KindName(error.Kind());
      message = error.Text();
    } catch (const std::bad_alloc&) {
      kindName = KindName(ErrorKind::Memory);
      message = msg::OutOfMemory().Text();
    } catch (const std::exception& error) {
      message = error.what();
    } catch (...) {
    }
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring moduleName = path;
    const size_t slash = moduleName.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) moduleName.erase(0, slash + 1);
    const std::string text = msg::StartupFailure(kindName, WideToUtf8(moduleName), codePosition, message);
    MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(msg::ApplicationErrorCaption()).c_str(),
                MB_TASKMODAL | MB_ICONSTOP);
  } catch (...) {
  }
}

}  // namespace sw
