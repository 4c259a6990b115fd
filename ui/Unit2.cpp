#include "ui/Unit2.h"

#include <windowsx.h>

#include "ui/Shell.h"

namespace sw {

TForm2* Form2 = nullptr;

namespace {

// The window's controls, in the designer's stacking order (bottom first).
// The memo keeps its three lines as given rather than wrapping them again
// where the font is wider than designed.
const ControlSpec kLayout[] = {
    {L"Bevel1", 0, ControlKind::Bevel, 8, 8, 153, 97, nullptr, -1, 0, Edge::LoweredBox, nullptr, 0},
    {L"Label1", TForm2::kLabel1, ControlKind::Label, 56, 40, 54, 13, L"версия 1.0", -1, 0, Edge::None, nullptr, 0},
    {L"Memo1", TForm2::kMemo1, ControlKind::Memo, 16, 56, 137, 41,
     L"Небольшая утилита для \r\nувеличения/уменьшения \r\nизображений.", 1, ES_READONLY | ES_AUTOHSCROLL, Edge::SoftBevel, nullptr, 0},
    {L"Button1", TForm2::kButton1, ControlKind::Button, 8, 112, 153, 25, L"Понтно", 0, 0, Edge::None, nullptr, 0},
};

constexpr wchar_t kTitle[] = L"Stretchwell";
// The caption is the border and dialog-frame bits together.
constexpr LONG kCaptionBitsCleared = ~static_cast<LONG>(WS_CAPTION);

struct TitleLayer {
  COLORREF color;
  int x;
  int y;
};
// Light edge above-left, dark edge below-right, the face on top.
constexpr TitleLayer kTitleLayers[] = {
    {RGB(0xFF, 0xFF, 0xFF), 11, 9},
    {RGB(0x80, 0x80, 0x80), 13, 11},
    {RGB(0xC0, 0xC0, 0xC0), 12, 10},
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
  design.clientHeight = 147;
  if (Application* app = Application::Current(); app && app->MainWindow()) design.owner = app->MainWindow()->Handle();
  return design;
}

void TForm2::Construct() {
  font_ = MakeWindowFont();
  BuildLayout(kLayout, sizeof(kLayout) / sizeof(kLayout[0]), static_cast<HFONT>(font_.Get()));
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

void TForm2::FormCreate() {
  HWND window = Handle();
  if (HDC dc = GetDC(window)) {
    SetBkMode(dc, TRANSPARENT);
    // Without anti-aliasing, drawing the title again over itself (on every
    // button release) gives exactly the same pixels.
    titleFont_ = MakeFont(L"Arial", -MulDiv(18, GetDeviceCaps(dc, LOGPIXELSY), 72), FW_BOLD, DEFAULT_CHARSET,
                          NONANTIALIASED_QUALITY);
    SelectObject(dc, titleFont_.Get());
    ReleaseDC(window, dc);
  }
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

void TForm2::DrawTitle(HDC dc) {
  for (const TitleLayer& layer : kTitleLayers) {
    SetTextColor(dc, layer.color);
    TextOutW(dc, layer.x, layer.y, kTitle, static_cast<int>(wcslen(kTitle)));
  }
}

void TForm2::Button1Click() { Application::Current()->CloseWindow(*this); }

void TForm2::CloseHandler() {
  // The main window is enabled before this one hides, so the activation
  // passes back to it.
  Application* app = Application::Current();
  if (app && app->MainWindow()) app->SetEnabled(*app->MainWindow(), true);
}

}  // namespace sw
