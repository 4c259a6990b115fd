#pragma once
// One small class per window. The static window procedure finds its object
// (stored at WM_NCCREATE) and calls HandleMessage inside the error guard, so
// no exception ever leaves a window procedure. Each window is handed the
// application it belongs to.

#include <windows.h>

#include <exception>
#include <string>

#include "platform/Handle.h"
#include "ui/ControlLayout.h"
#include "ui/DialogKeys.h"
#include "ui/Layout.h"

namespace sw {

class Application;

// How a window is made: class, caption, styles and its designed place, with
// the client area's size (the outer size follows from the styles and menu),
// in pixels at 96 DPI.
struct WindowDesign {
  const wchar_t* className = nullptr;
  UINT classStyle = 0;
  const wchar_t* caption = L"";
  DWORD style = 0;
  DWORD exStyle = 0;
  int left = CW_USEDEFAULT;
  int top = CW_USEDEFAULT;
  int clientWidth = 0;
  int clientHeight = 0;
  HWND owner = nullptr;
};

class BaseWindow {
 public:
  explicit BaseWindow(Application& app) : app_(app) {}
  virtual ~BaseWindow();
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  HWND Handle() const { return window_; }
  Application& App() const { return app_; }
  // Builds the native window, placed and sized for its monitor's DPI. A
  // failure while its layout is built passes on from here; one in its
  // creation handler has been reported already.
  void Create();
  void Destroy();

  // The window's close handler, run once by each close sequence.
  virtual void CloseHandler() {}
  // Menu shortcuts and dialog keys for a keyboard message bound for this
  // window or one of its controls; true when consumed.
  virtual bool TranslateKeys(MSG& message);

  // The program's window object behind a native window, or null.
  static BaseWindow* FromHandle(HWND window);

  HWND Control(int id) const { return layout_.Control(id); }
  // Gives the keyboard focus back to the control that last had it.
  void RestoreFocus() { keys_.RestoreFocus(); }
  // The DPI the window is laid out for.
  int Dpi() const { return dpi_; }

 protected:
  virtual WindowDesign Design() = 0;
  // The menu bar the window takes over, or null.
  virtual HMENU MenuBar() { return nullptr; }
  // Builds the controls; a failure here fails the window's construction.
  virtual void Construct() {}
  // The flat dispatch of each window; what it does not handle goes here.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The outer size that gives the designed client area at `dpi` with the
  // window's styles as they are now.
  virtual SIZE OuterSize(int dpi) const;
  // The window moved to a monitor of another DPI and its controls have been
  // placed again; what else it draws follows here.
  virtual void DpiChanged() {}

  // Creates the controls of `layout` with the window's font, records the
  // tab order and the default button.
  void BuildLayout(const ControlDesign* layout, size_t count);
  void PaintEdges(HDC dc) const { layout_.PaintEdges(dc); }
  void SetLabelText(int id, const std::wstring& text) { layout_.SetLabelText(id, text); }
  void MoveFocus(bool forward) { keys_.MoveFocus(forward); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyDpi(int dpi, const RECT& suggested);

  Application& app_;
  HWND window_ = nullptr;
  WindowDesign design_;
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueGdiObject font_;
  ControlLayout layout_;
  DialogKeys keys_;
  std::exception_ptr constructionFailure_;
};

}  // namespace sw
