#pragma once
// A periodic timer on a hidden window of its own, which runs its tick handler
// inside the error guard.

#include <windows.h>

#include <cstdint>
#include <functional>

namespace sw {

class Application;

class Timer {
 public:
  // Interval 1000 ms, no tick handler: not armed yet. A failing tick handler
  // goes to `app`'s error report.
  explicit Timer(Application& app);
  // The system timer is killed, then its window destroyed.
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // Each setter re-arms ("Not enough timers available" when the system has
  // none left), the interval only when it changes; an interval of 0 stops it.
  void SetInterval(int32_t milliseconds);
  void SetOnTimer(std::function<void()> handler);

  int32_t Interval() const { return interval_; }
  HWND Window() const { return window_; }

  static constexpr UINT_PTR kTimerId = 1;

 private:
  void Arm();
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Application& app_;
  HWND window_ = nullptr;
  int32_t interval_ = 1000;
  std::function<void()> onTimer_;
};

}  // namespace sw
