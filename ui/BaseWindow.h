#pragma once
// One small class per window. The static window procedure finds its object
// (stored at WM_NCCREATE) and calls HandleMessage inside the error guard, so
// no exception ever leaves a window procedure.

#include <windows.h>

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "platform/Handle.h"
#include "ui/Layout.h"

namespace sw {

// How a window is made: class, caption, styles and its designed place, with
// the client area's size (the outer size follows from the styles and menu).
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
  HMENU menu = nullptr;  // the window takes it over
};

class BaseWindow {
 public:
  BaseWindow() = default;
  virtual ~BaseWindow();
  BaseWindow(const BaseWindow&) = delete;
  BaseWindow& operator=(const BaseWindow&) = delete;

  HWND Handle() const { return window_; }
  // Builds the native window. A failure while its layout is built passes on
  // from here; one in its creation handler has been reported already.
  void Create();
  void Destroy();

  // The window's close handler, run once by each close sequence.
  virtual void CloseHandler() {}
  // Menu shortcuts and dialog keys (tab order, Enter for the default button,
  // arrows in a group) for a keyboard message bound for this window or one of
  // its controls; true when consumed.
  virtual bool TranslateKeys(MSG& message);

  // The program's window object behind a native window, or null.
  static BaseWindow* FromHandle(HWND window);

  HWND Control(int id) const;
  // Gives the keyboard focus back to the control that last had it.
  void RestoreFocus();

 protected:
  virtual WindowDesign Design() = 0;
  // Builds the controls; a failure here fails the window's construction.
  virtual void Construct() {}
  // The flat dispatch of each window; what it does not handle goes here.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Creates the controls of `layout` in its stacking order with `font`,
  // records the tab order and the default button.
  void BuildLayout(const ControlSpec* layout, size_t count, HFONT font);
  // Draws every edge of the layout.
  void PaintEdges(HDC dc) const;
  // Sets a label's text and sizes it to the text.
  void SetLabelText(int id, const std::wstring& text);
  void MoveFocus(bool forward);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControl(const ControlSpec& design, HFONT font);
  void FitLabel(HWND label);
  LRESULT OnGetDefaultId();

  HWND window_ = nullptr;
  HWND lastFocus_ = nullptr;
  HFONT font_ = nullptr;
  int defaultButton_ = 0;
  const ControlSpec* layout_ = nullptr;
  size_t layoutSize_ = 0;
  std::map<int, HWND> controls_;
  std::vector<std::vector<HWND>> tabOrder_;  // radio items share one stop
  std::exception_ptr constructionFailure_;
};

// The system's text for an error code (no trailing line break removed).
std::string SystemErrorText(DWORD code);
std::wstring WindowText(HWND window);

// A font of the given face and height in pixels (negative: character height).
UniqueGdiObject MakeFont(const wchar_t* face, int height, int weight, BYTE charset, BYTE quality = DEFAULT_QUALITY);

// The windows' font: "MS Sans Serif" at height -11 with Cyrillic glyphs.
// Where that face is missing, a face of about its width stands in before
// whatever the system would substitute, so the designed layout still fits.
UniqueGdiObject MakeWindowFont();

}  // namespace sw
