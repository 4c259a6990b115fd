#include "ui/BaseWindow.h"

#include <utility>

#include "core/Messages.h"
#include "ui/Dpi.h"
#include "ui/Fonts.h"
#include "ui/Shell.h"
#include "ui/WindowClass.h"
#include "ui/WindowText.h"

namespace sw {
namespace {

constexpr wchar_t kIconResource[] = L"MAINICON";
// The four low bits of a system command are the system's own.
constexpr WPARAM kSystemCommandMask = 0xFFF0;

void RegisterClassOf(const WindowDesign& design, WNDPROC procedure) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.style = design.classStyle;
  windowClass.lpfnWndProc = procedure;
  windowClass.hIcon = LoadIconW(instance, kIconResource);
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, kIconResource, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = design.className;
  RegisterWindowClassOnce(windowClass);
}

int ScalePosition(int value, int dpi) { return value == CW_USEDEFAULT ? value : ScaleToDpi(value, dpi); }

}  // namespace

BaseWindow::~BaseWindow() {
  if (window_) {
    // The derived object is gone: no message may reach it any more.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
  }
}

void BaseWindow::Create() {
  design_ = Design();
  RegisterClassOf(design_, &BaseWindow::WindowProc);
  HMENU menu = MenuBar();
  // The window's own DPI is known once it exists; the system's is the best
  // guess before, and the window is sized again if its monitor differs.
  const int dpi = SystemDpi();
  const SIZE outer = OuterSizeForClient(ScaleToDpi(design_.clientWidth, dpi), ScaleToDpi(design_.clientHeight, dpi),
                                        design_.style, menu != nullptr, design_.exStyle, dpi);
  constructionFailure_ = nullptr;
  HWND window = CreateWindowExW(design_.exStyle, design_.className, design_.caption, design_.style,
                                ScalePosition(design_.left, dpi), ScalePosition(design_.top, dpi), outer.cx, outer.cy,
                                design_.owner, menu, GetModuleHandleW(nullptr), this);
  if (!window) {
    const DWORD code = GetLastError();
    if (menu) DestroyMenu(menu);
    if (constructionFailure_) std::rethrow_exception(std::exchange(constructionFailure_, nullptr));
    throw msg::Resource(SystemErrorText(code));
  }
  if (dpi_ != dpi) {
    const SIZE size = OuterSize(dpi_);
    SetWindowPos(window, nullptr, ScalePosition(design_.left, dpi_), ScalePosition(design_.top, dpi_), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void BaseWindow::Destroy() {
  if (window_) DestroyWindow(window_);
}

BaseWindow* BaseWindow::FromHandle(HWND window) {
  if (!window) return nullptr;
  if (GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&BaseWindow::WindowProc)) return nullptr;
  return reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK BaseWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    self->dpi_ = WindowDpi(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_CREATE) {
    // The layout is part of the construction: its failure ends the creation
    // and reaches the caller of Create, not the error box.
    try {
      self->Construct();
    } catch (...) {
      self->constructionFailure_ = std::current_exception();
      return -1;
    }
  }
  LRESULT result = 0;
  Guarded(self->app_, [&] { result = self->HandleMessage(message, wParam, lParam); });
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self->layout_.Clear();
    self->keys_.Clear();
  }
  return result;
}

LRESULT BaseWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      app_.CloseWindow(*this);
      return 0;
    case WM_SYSCOMMAND:
      // The default procedure drops the close command of a disabled window,
      // but the taskbar entry's Close must work while a run or the about
      // window holds the main window disabled.
      if ((wParam & kSystemCommandMask) == SC_CLOSE) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) app_.SetQuitting();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        keys_.RememberFocus(window_);
        return 0;
      }
      if (HIWORD(wParam) == 0 && !keys_.Empty()) {
        keys_.RestoreFocus();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (!keys_.Empty()) {
        keys_.RestoreFocus();
        return 0;
      }
      break;
    case DM_GETDEFID:
      return keys_.DefaultId(window_);
    case WM_GETDPISCALEDSIZE: {
      // The size the system suggests for the new DPI is the window's own.
      *reinterpret_cast<SIZE*>(lParam) = OuterSize(static_cast<int>(wParam));
      return TRUE;
    }
    case WM_DPICHANGED:
      ApplyDpi(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

bool BaseWindow::TranslateKeys(MSG& message) { return keys_.Translate(window_, message); }

SIZE BaseWindow::OuterSize(int dpi) const {
  return OuterSizeForClient(ScaleToDpi(design_.clientWidth, dpi), ScaleToDpi(design_.clientHeight, dpi),
                            static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                            static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)), dpi);
}

void BaseWindow::BuildLayout(const ControlDesign* layout, size_t count) {
  font_ = MakeWindowFont(dpi_);
  layout_.Build(window_, layout, count, static_cast<HFONT>(font_.Get()), dpi_);
  keys_.Build(layout_);
}

void BaseWindow::ApplyDpi(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  if (layout_.begin() != layout_.end()) {
    // The controls take the new font before the old one is deleted.
    UniqueGdiObject font = MakeWindowFont(dpi);
    layout_.Place(static_cast<HFONT>(font.Get()), dpi);
    font_ = std::move(font);
  }
  DpiChanged();
  const SIZE size = OuterSize(dpi);
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace sw
