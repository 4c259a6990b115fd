#include "ui/BaseWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "core/Messages.h"
#include "platform/WideText.h"
#include "ui/Shell.h"
#include "ui/WindowClass.h"

namespace sw {
namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr int kSoftBevelWidth = 1;
// Where a radio group's items start below its top edge (room for the caption)
// and how much room they leave at the bottom.
constexpr int kRadioTopMargin = 15;
constexpr int kRadioBottomMargin = 4;
constexpr int kRadioLeftMargin = 8;

void RegisterClassOf(const WindowDesign& design, WNDPROC procedure) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.style = design.classStyle;
  windowClass.lpfnWndProc = procedure;
  windowClass.hIcon = LoadIconW(instance, L"MAINICON");
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = design.className;
  RegisterWindowClassOnce(windowClass);
}

bool IsPushButton(HWND control) {
  return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

constexpr SHORT kKeyIsDown = static_cast<SHORT>(0x8000);  // the high bit of a key state

bool KeyDown(int key) { return (GetKeyState(key) & kKeyIsDown) != 0; }

// Kinds the keyboard focus can rest on. (A radio group's stop is decided by
// its kind too: the button control moves WS_TABSTOP to its checked item.)
bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
    case ControlKind::Memo:
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioGroup:
      return true;
    default:
      return false;
  }
}

// The four low bits of a system command are the system's own.
constexpr WPARAM kSystemCommandMask = 0xFFF0;

}  // namespace

std::string SystemErrorText(DWORD code) {
  if (code == 0) return std::string();
  wchar_t buffer[256];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 256, nullptr);
  return WideToUtf8(std::wstring(buffer, length));
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, &text[0], length + 1);
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

UniqueGdiObject MakeFont(const wchar_t* face, int height, int weight, BYTE charset, BYTE quality) {
  HFONT font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, face);
  if (!font) throw msg::Resource(SystemErrorText(GetLastError()));
  return UniqueGdiObject(font);
}

UniqueGdiObject MakeWindowFont() {
  // RUSSIAN_CHARSET makes the font mapper pick a face with Cyrillic glyphs.
  static const wchar_t* const kFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma", L"Arial",
                                          L"Liberation Sans", L"DejaVu Sans Condensed"};
  HDC screen = GetDC(nullptr);
  for (const wchar_t* face : kFaces) {
    UniqueGdiObject font = MakeFont(face, -11, FW_NORMAL, RUSSIAN_CHARSET);
    if (!screen) return font;
    wchar_t chosen[LF_FACESIZE] = L"";
    HGDIOBJ previous = SelectObject(screen, font.Get());
    GetTextFaceW(screen, LF_FACESIZE, chosen);
    SelectObject(screen, previous);
    if (lstrcmpiW(chosen, face) == 0) {
      ReleaseDC(nullptr, screen);
      return font;
    }
  }
  if (screen) ReleaseDC(nullptr, screen);
  return MakeFont(kFaces[0], -11, FW_NORMAL, RUSSIAN_CHARSET);
}

BaseWindow::~BaseWindow() {
  if (window_) {
    // The derived object is gone: no message may reach it any more.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
  }
}

void BaseWindow::Create() {
  WindowDesign design = Design();
  RegisterClassOf(design, &BaseWindow::WindowProc);
  RECT outer{0, 0, design.clientWidth, design.clientHeight};
  AdjustWindowRectEx(&outer, design.style, design.menu != nullptr, design.exStyle);
  constructionFailure_ = nullptr;
  HWND window = CreateWindowExW(design.exStyle, design.className, design.caption, design.style, design.left, design.top,
                                outer.right - outer.left, outer.bottom - outer.top, design.owner, design.menu,
                                GetModuleHandleW(nullptr), this);
  if (!window) {
    const DWORD code = GetLastError();
    if (design.menu) DestroyMenu(design.menu);
    if (constructionFailure_) std::rethrow_exception(std::exchange(constructionFailure_, nullptr));
    throw msg::Resource(SystemErrorText(code));
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
  Guarded([&] { result = self->HandleMessage(message, wParam, lParam); });
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self->controls_.clear();
    self->tabOrder_.clear();
    self->lastFocus_ = nullptr;
  }
  return result;
}

LRESULT BaseWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (Application* app = Application::Current()) app->CloseWindow(*this);
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
      if (wParam)
        if (Application* app = Application::Current()) app->SetQuitting();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (HIWORD(wParam) == 0 && !tabOrder_.empty()) {
        RestoreFocus();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (!tabOrder_.empty()) {
        RestoreFocus();
        return 0;
      }
      break;
    case DM_GETDEFID:
      return OnGetDefaultId();
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT BaseWindow::OnGetDefaultId() {
  // A focused push button takes Enter itself, as in a dialog.
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus) && IsPushButton(focus))
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
  if (defaultButton_) return MAKELRESULT(defaultButton_, DC_HASDEFID);
  return 0;
}

bool BaseWindow::TranslateKeys(MSG& message) {
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && !KeyDown(VK_CONTROL) && !KeyDown(VK_MENU) &&
      !tabOrder_.empty()) {
    MoveFocus(!KeyDown(VK_SHIFT));
    return true;
  }
  return IsDialogMessageW(window_, &message) != FALSE;
}

void BaseWindow::RestoreFocus() {
  HWND target = lastFocus_;
  if (!target || !IsWindow(target) || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    lastFocus_ = nullptr;
    MoveFocus(true);
    return;
  }
  SetFocus(target);
}

void BaseWindow::MoveFocus(bool forward) {
  const int count = static_cast<int>(tabOrder_.size());
  if (count == 0) return;
  HWND focus = GetFocus();
  int current = -1;
  for (int i = 0; i < count && current < 0; ++i)
    for (HWND member : tabOrder_[static_cast<size_t>(i)])
      if (member == focus || IsChild(member, focus)) current = i;
  for (int step = 1; step <= count; ++step) {
    int index;
    if (current < 0)
      index = forward ? step - 1 : count - step;
    else
      index = ((current + (forward ? step : -step)) % count + count) % count;
    const std::vector<HWND>& stop = tabOrder_[static_cast<size_t>(index)];
    // A radio group is entered at its checked item.
    HWND target = stop.front();
    for (HWND member : stop)
      if (SendMessageW(member, BM_GETCHECK, 0, 0) == BST_CHECKED) target = member;
    if (!IsWindowVisible(target) || !IsWindowEnabled(target)) continue;
    SetFocus(target);
    if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(target, EM_SETSEL, 0, -1);
    return;
  }
}

HWND BaseWindow::Control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void BaseWindow::BuildLayout(const ControlSpec* layout, size_t count, HFONT font) {
  layout_ = layout;
  layoutSize_ = count;
  font_ = font;
  // Win32 puts each new control below the earlier ones, so the rows are made
  // last first to keep the designer's stacking.
  for (size_t i = count; i-- > 0;) CreateControl(layout[i], font);
  std::vector<const ControlSpec*> stops;
  for (size_t i = 0; i < count; ++i)
    if (layout[i].tabOrder >= 0 && TakesFocus(layout[i].kind)) stops.push_back(&layout[i]);
  std::stable_sort(stops.begin(), stops.end(),
                   [](const ControlSpec* a, const ControlSpec* b) { return a->tabOrder < b->tabOrder; });
  tabOrder_.clear();
  for (const ControlSpec* design : stops) {
    std::vector<HWND> members;
    if (design->kind == ControlKind::RadioGroup) {
      for (int item = 0; design->items && design->items[item]; ++item)
        members.push_back(Control(RadioItemId(design->id, item)));
    } else {
      members.push_back(Control(design->id));
    }
    tabOrder_.push_back(members);
  }
}

void BaseWindow::CreateControl(const ControlSpec& design, HFONT font) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id, int left, int top,
                  int width, int height) {
    HWND control = CreateWindowExW(exStyle, className, text, kChildStyle | style, left, top, width, height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!control) throw msg::Resource(SystemErrorText(GetLastError()));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    controls_[id] = control;
    return control;
  };
  const DWORD tabStop = design.tabOrder >= 0 ? WS_TABSTOP : 0;
  int left = design.left, top = design.top, width = design.width, height = design.height;
  if (design.edge == Edge::SoftBevel) {
    left += kSoftBevelWidth;
    top += kSoftBevelWidth;
    width -= 2 * kSoftBevelWidth;
    height -= 2 * kSoftBevelWidth;
  }
  switch (design.kind) {
    case ControlKind::Bevel:
      break;
    case ControlKind::Label:
      FitLabel(make(L"Static", design.text, SS_LEFT | design.style, 0, design.id, left, top, width, height));
      break;
    case ControlKind::Edit:
      make(L"Edit", design.text, ES_AUTOHSCROLL | tabStop | design.style, WS_EX_CLIENTEDGE, design.id, left, top, width,
           height);
      break;
    case ControlKind::Memo:
      make(L"Edit", design.text, ES_MULTILINE | tabStop | design.style, 0, design.id, left, top, width, height);
      break;
    case ControlKind::Button:
      make(L"Button", design.text, BS_PUSHBUTTON | tabStop | design.style, 0, design.id, left, top, width, height);
      if ((design.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultButton_ = design.id;
      break;
    case ControlKind::CheckBox:
      make(L"Button", design.text, BS_AUTOCHECKBOX | tabStop | design.style, 0, design.id, left, top, width, height);
      break;
    case ControlKind::RadioGroup: {
      int itemCount = 0;
      while (design.items && design.items[itemCount]) ++itemCount;
      // The items lie over their box, so they are made first.
      const int itemsHeight = height - kRadioTopMargin - kRadioBottomMargin;
      for (int item = 0; item < itemCount; ++item) {
        const int itemTop = top + kRadioTopMargin + item * itemsHeight / itemCount;
        const int itemBottom = top + kRadioTopMargin + (item + 1) * itemsHeight / itemCount;
        HWND radio = make(L"Button", design.items[item], BS_AUTORADIOBUTTON | tabStop | (item == 0 ? WS_GROUP : 0), 0,
                          RadioItemId(design.id, item), left + kRadioLeftMargin, itemTop,
                          width - kRadioLeftMargin - 4, itemBottom - itemTop);
        if (item == design.selectedItem) SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
      }
      // WS_GROUP here ends the items' group for the arrow keys.
      make(L"Button", design.text, BS_GROUPBOX | WS_GROUP | design.style, 0, design.id, left, top, width, height);
      break;
    }
    case ControlKind::ProgressBar: {
      HWND bar = make(PROGRESS_CLASSW, L"", design.style, 0, design.id, left, top, width, height);
      SendMessageW(bar, PBM_SETRANGE32, 0, 100);
      break;
    }
  }
}

void BaseWindow::FitLabel(HWND label) {
  const std::wstring text = WindowText(label);
  SIZE size{0, 0};
  if (HDC dc = GetDC(label)) {
    HGDIOBJ previous = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
  }
  RECT rect;
  GetWindowRect(label, &rect);
  SetWindowPos(label, nullptr, 0, 0, size.cx, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BaseWindow::SetLabelText(int id, const std::wstring& text) {
  HWND label = Control(id);
  if (!label) return;
  SetWindowTextW(label, text.c_str());
  FitLabel(label);
}

void BaseWindow::PaintEdges(HDC dc) const {
  for (size_t i = 0; i < layoutSize_; ++i) {
    const ControlSpec& design = layout_[i];
    RECT rect{design.left, design.top, design.left + design.width, design.top + design.height};
    switch (design.edge) {
      case Edge::None:
        break;
      case Edge::EtchedFrame:
        DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
        break;
      case Edge::RaisedTopLine:
        DrawEdge(dc, &rect, EDGE_BUMP, BF_TOP);
        break;
      case Edge::LoweredBox:
        DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT);
        break;
      case Edge::SoftBevel:
        DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT | BF_SOFT);
        break;
    }
  }
}

}  // namespace sw
