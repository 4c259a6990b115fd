#include "ui/Unit2.h"

#include <windowsx.h>

#include <utility>

#include "ui/Dpi.h"
#include "ui/Fonts.h"
#include "ui/Shell.h"

namespace sw {

TForm2* Form2 = nullptr;

namespace {

// The window's controls, in the designer's stacking order (bottom first).
// The memo keeps its three lines as given rather than wrapping them again
// where the font is wider than designed.
const ControlDesign kLayout[] = {
    {L"Bevel1", 0, ControlKind::Bevel, 8, 8, 153, 97, nullptr, -1, 0, Edge::LoweredBox, nullptr, 0},
    {L"Label1", TForm2::kLabel1, ControlKind::Label, 56, 40, 54, 13, L"версия 1.0", -1, 0, Edge::None, nullptr, 0},
    {L"Memo1", TForm2::kMemo1, ControlKind::Memo, 16, 56, 137, 41,
     L"Небольшая утилита для \r\nувеличения/уменьшения \r\nизображений.", 1, ES_READONLY | ES_AUTOHSCROLL, Edge::SoftBevel, nullptr, 0},
    {L"Button1", TForm2::kButton1, ControlKind::Button, 8, 112, 153, 25, L"Понтно", 0, 0, Edge::None, nullptr, 0},
};

constexpr wchar_t kTitle[] = L"Stretchwell";
// Arial 18 point bold, 24 pixels high at the design's 96 DPI.
constexpr int kTitleHeight = -24;
// The caption is the border and dialog-frame bits together.
constexpr LONG kCaptionBitsCleared = ~static_cast<LONG>(WS_CAPTION);
constexpr int kClientHeight = 147;

// The face's place, and each layer's offset from it: white at (11, 9), grey
// at (13, 11), silver at (12, 10). The offsets are scaled as design values
// of their own, so the light and the dark edge stay equally wide.
constexpr POINT kTitleFace = {12, 10};
struct TitleLayer {
  COLORREF color;
  int dx;
  int dy;
};
// Light edge above-left, dark edge below-right, the face on top.
constexpr TitleLayer kTitleLayers[] = {
    {RGB(0xFF, 0xFF, 0xFF), -1, -1},
    {RGB(0x80, 0x80, 0x80), 1, 1},
    {RGB(0xC0, 0xC0, 0xC0), 0, 0},
};

}  // namespace

TForm2::~TForm2() {
  Destroy();
  if (Form2 == this) Form2 = nullptr;
}

WindowDesign TForm2::Design() {
  WindowDesign design;
  design.className = L"TForm2";
  // A drawing surface of its own, so the title's drawing state is set once.
  design.classStyle = CS_OWNDC;
  design.caption = L"О программе";
  design.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  design.exStyle = WS_EX_DLGMODALFRAME;
  design.left = 422;
  design.top = 231;
  design.clientWidth = 169;
  design.clientHeight = kClientHeight;
  if (App().MainWindow()) design.owner = App().MainWindow()->Handle();
  return design;
}

void TForm2::Construct() { BuildLayout(kLayout, sizeof(kLayout) / sizeof(kLayout[0])); }

SIZE TForm2::OuterSize(int dpi) const {
  SIZE size = BaseWindow::OuterSize(dpi);
  size.cy = ScaleToDpi(kClientHeight, dpi);
  return size;
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_LBUTTONUP:
      FormMouseUp(MouseButton::Left, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONUP:
      FormMouseUp(MouseButton::Right, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MBUTTONUP:
      FormMouseUp(MouseButton::Middle, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kButton1) Button1Click();
      return 0;
    default:
      return BaseWindow::HandleMessage(message, wParam, lParam);
  }
}

void TForm2::SelectTitleFont() {
  // Without anti-aliasing, drawing the title again over itself (on every
  // button release) gives exactly the same pixels.
  UniqueGdiObject font =
      MakeFont(L"Arial", ScaleToDpi(kTitleHeight, Dpi()), FW_BOLD, DEFAULT_CHARSET, NONANTIALIASED_QUALITY);
  if (HDC dc = GetDC(Handle())) {
    SelectObject(dc, font.Get());
    ReleaseDC(Handle(), dc);
  }
  titleFont_ = std::move(font);
}

void TForm2::DpiChanged() {
  SelectTitleFont();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TForm2::FormCreate() {
  HWND window = Handle();
  if (HDC dc = GetDC(window)) {
    SetBkMode(dc, TRANSPARENT);
    ReleaseDC(window, dc);
  }
  SelectTitleFont();
  SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) & kCaptionBitsCleared);
  // The client height as it stands becomes the outer height.
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, client.bottom - client.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm2::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle(), &paint);
  PaintEdges(dc);
  FormPaint();
  EndPaint(Handle(), &paint);
}

void TForm2::FormPaint() { FormMouseUp(MouseButton::Left, 0, 0, 0); }

void TForm2::FormMouseUp(MouseButton, WPARAM, int, int) {
  HWND window = Handle();
  if (HDC dc = GetDC(window)) {
    DrawTitle(dc);
    ReleaseDC(window, dc);
  }
}

void TForm2::DrawTitle(HDC dc) const {
  const int dpi = Dpi();
  const int x = ScaleToDpi(kTitleFace.x, dpi);
  const int y = ScaleToDpi(kTitleFace.y, dpi);
  for (const TitleLayer& layer : kTitleLayers) {
    SetTextColor(dc, layer.color);
    TextOutW(dc, x + ScaleToDpi(layer.dx, dpi), y + ScaleToDpi(layer.dy, dpi), kTitle,
             static_cast<int>(wcslen(kTitle)));
  }
}

void TForm2::Button1Click() { App().CloseWindow(*this); }

void TForm2::CloseHandler() {
  // The main window is enabled before this one hides, so the activation
  // passes back to it.
  if (App().MainWindow()) App().SetEnabled(*App().MainWindow(), true);
}

}  // namespace sw
