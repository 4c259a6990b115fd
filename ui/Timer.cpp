#include "ui/Timer.h"

#include "core/Messages.h"
#include "ui/Shell.h"
#include "ui/WindowText.h"
#include "ui/WindowClass.h"

namespace sw {
namespace {

constexpr wchar_t kTimerWindowClass[] = L"StretchwellTimerWindow";

}  // namespace

Timer::Timer(Application& app) : app_(app) {
  WNDCLASSEXW windowClass{};
  windowClass.lpfnWndProc = &Timer::WindowProc;
  windowClass.lpszClassName = kTimerWindowClass;
  RegisterWindowClassOnce(windowClass);
  // A message-only window: never shown, never among the windows an error box
  // disables.
  window_ = CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) throw msg::Resource(SystemErrorText(GetLastError()));
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Timer::~Timer() {
  KillTimer(window_, kTimerId);
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void Timer::SetInterval(int32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Arm();
}

void Timer::SetOnTimer(std::function<void()> handler) {
  onTimer_ = std::move(handler);
  Arm();
}

void Timer::Arm() {
  KillTimer(window_, kTimerId);
  if (interval_ != 0 && onTimer_) {
    if (SetTimer(window_, kTimerId, static_cast<UINT>(interval_), nullptr) == 0) throw msg::NotEnoughTimers();
  }
}

LRESULT CALLBACK Timer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto* self = reinterpret_cast<Timer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->onTimer_) {
      // A copy, so a handler that replaces itself does not pull the rug away.
      std::function<void()> handler = self->onTimer_;
      Guarded(self->app_, handler);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace sw
