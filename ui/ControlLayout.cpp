#include "ui/ControlLayout.h"

#include <commctrl.h>

#include "core/Messages.h"
#include "ui/Dpi.h"
#include "ui/WindowText.h"

namespace sw {
namespace {

constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
// The soft bevel is the one-pixel line DrawEdge draws at every DPI; the
// control inside it sits that one pixel in.
constexpr int kSoftBevelWidth = 1;
// Design values, scaled like the table's: where a radio group's items start
// below its top edge (room for the caption), how much room they leave at the
// bottom and how far in from either side they sit.
constexpr int kRadioTopMargin = 15;
constexpr int kRadioBottomMargin = 4;
constexpr int kRadioLeftMargin = 8;
constexpr int kRadioRightMargin = 4;

int ItemCount(const ControlDesign& design) {
  int count = 0;
  while (design.items && design.items[count]) ++count;
  return count;
}

// The rectangle a windowed control takes inside its row's rectangle.
RECT ControlRect(const ControlDesign& design, int dpi) {
  RECT rect = ControlLayout::ScaledRect(design, dpi);
  if (design.edge == Edge::SoftBevel) InflateRect(&rect, -kSoftBevelWidth, -kSoftBevelWidth);
  return rect;
}

// Radio item `item` of a group whose box is `box`, at `dpi`.
RECT RadioItemRect(const RECT& box, int item, int count, int dpi) {
  const int top = box.top + ScaleToDpi(kRadioTopMargin, dpi);
  const int itemsHeight = box.bottom - top - ScaleToDpi(kRadioBottomMargin, dpi);
  return RECT{box.left + ScaleToDpi(kRadioLeftMargin, dpi), top + item * itemsHeight / count,
              box.right - ScaleToDpi(kRadioRightMargin, dpi), top + (item + 1) * itemsHeight / count};
}

void Move(HWND control, const RECT& rect) {
  SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

RECT ControlLayout::ScaledRect(const ControlDesign& design, int dpi) {
  const int left = ScaleToDpi(design.left, dpi);
  const int top = ScaleToDpi(design.top, dpi);
  return RECT{left, top, left + ScaleToDpi(design.width, dpi), top + ScaleToDpi(design.height, dpi)};
}

void ControlLayout::Build(HWND parent, const ControlDesign* layout, size_t count, HFONT font, int dpi) {
  parent_ = parent;
  layout_ = layout;
  size_ = count;
  font_ = font;
  dpi_ = dpi;
  // Win32 puts each new control below the earlier ones, so the rows are made
  // last first to keep the designer's stacking.
  for (size_t i = count; i-- > 0;) Create(layout[i]);
  Place(font, dpi);
}

void ControlLayout::Place(HFONT font, int dpi) {
  font_ = font;
  dpi_ = dpi;
  for (const auto& [id, control] : controls_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  for (const ControlDesign& design : *this) PlaceOne(design);
}

void ControlLayout::Clear() {
  controls_.clear();
  parent_ = nullptr;
}

HWND ControlLayout::Control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void ControlLayout::Create(const ControlDesign& design) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id) {
    HWND control = CreateWindowExW(exStyle, className, text, kChildStyle | style, 0, 0, 0, 0, parent_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!control) throw msg::Resource(SystemErrorText(GetLastError()));
    controls_[id] = control;
    return control;
  };
  const DWORD tabStop = design.tabOrder >= 0 ? WS_TABSTOP : 0;
  switch (design.kind) {
    case ControlKind::Bevel:
      break;
    case ControlKind::Label:
      // One line, never wrapped: the label is as wide as its text.
      make(L"Static", design.text, SS_LEFTNOWORDWRAP | design.style, 0, design.id);
      break;
    case ControlKind::Edit:
      make(L"Edit", design.text, ES_AUTOHSCROLL | tabStop | design.style, WS_EX_CLIENTEDGE, design.id);
      break;
    case ControlKind::Memo:
      make(L"Edit", design.text, ES_MULTILINE | tabStop | design.style, 0, design.id);
      break;
    case ControlKind::Button:
      make(L"Button", design.text, BS_PUSHBUTTON | tabStop | design.style, 0, design.id);
      break;
    case ControlKind::CheckBox:
      make(L"Button", design.text, BS_AUTOCHECKBOX | tabStop | design.style, 0, design.id);
      break;
    case ControlKind::RadioGroup: {
      // The items lie over their box, so they are made first.
      const int count = ItemCount(design);
      for (int item = 0; item < count; ++item) {
        HWND radio = make(L"Button", design.items[item], BS_AUTORADIOBUTTON | tabStop | (item == 0 ? WS_GROUP : 0), 0,
                          RadioItemId(design.id, item));
        if (item == design.selectedItem) SendMessageW(radio, BM_SETCHECK, BST_CHECKED, 0);
      }
      // WS_GROUP here ends the items' group for the arrow keys.
      make(L"Button", design.text, BS_GROUPBOX | WS_GROUP | design.style, 0, design.id);
      break;
    }
    case ControlKind::ProgressBar: {
      HWND bar = make(PROGRESS_CLASSW, L"", design.style, 0, design.id);
      SendMessageW(bar, PBM_SETRANGE32, 0, 100);
      break;
    }
  }
}

void ControlLayout::PlaceOne(const ControlDesign& design) {
  if (design.kind == ControlKind::Bevel) return;
  const RECT rect = ControlRect(design, dpi_);
  Move(Control(design.id), rect);
  if (design.kind == ControlKind::Label) FitLabel(Control(design.id));
  if (design.kind == ControlKind::RadioGroup) {
    const int count = ItemCount(design);
    for (int item = 0; item < count; ++item)
      Move(Control(RadioItemId(design.id, item)), RadioItemRect(rect, item, count, dpi_));
  }
}

void ControlLayout::FitLabel(HWND label) {
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

void ControlLayout::SetLabelText(int id, const std::wstring& text) {
  HWND label = Control(id);
  if (!label) return;
  SetWindowTextW(label, text.c_str());
  FitLabel(label);
}

void ControlLayout::PaintEdges(HDC dc) const {
  for (const ControlDesign& design : *this) {
    RECT rect = ScaledRect(design, dpi_);
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
