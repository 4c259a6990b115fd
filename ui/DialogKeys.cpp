#include "ui/DialogKeys.h"

#include <algorithm>

namespace sw {
namespace {

constexpr SHORT kKeyIsDown = static_cast<SHORT>(0x8000);  // the high bit of a key state

bool KeyDown(int key) { return (GetKeyState(key) & kKeyIsDown) != 0; }

bool IsPushButton(HWND control) {
  return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

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

}  // namespace

void DialogKeys::Build(const ControlLayout& layout) {
  std::vector<const ControlDesign*> stops;
  defaultButton_ = 0;
  for (const ControlDesign& design : layout) {
    if (design.tabOrder >= 0 && TakesFocus(design.kind)) stops.push_back(&design);
    if (design.kind == ControlKind::Button && (design.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
      defaultButton_ = design.id;
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const ControlDesign* a, const ControlDesign* b) { return a->tabOrder < b->tabOrder; });
  tabOrder_.clear();
  for (const ControlDesign* design : stops) {
    std::vector<HWND> members;
    if (design->kind == ControlKind::RadioGroup) {
      for (int item = 0; design->items && design->items[item]; ++item)
        members.push_back(layout.Control(RadioItemId(design->id, item)));
    } else {
      members.push_back(layout.Control(design->id));
    }
    tabOrder_.push_back(members);
  }
}

void DialogKeys::Clear() {
  tabOrder_.clear();
  lastFocus_ = nullptr;
}

bool DialogKeys::Translate(HWND window, MSG& message) {
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && !KeyDown(VK_CONTROL) && !KeyDown(VK_MENU) &&
      !tabOrder_.empty()) {
    MoveFocus(!KeyDown(VK_SHIFT));
    return true;
  }
  return IsDialogMessageW(window, &message) != FALSE;
}

LRESULT DialogKeys::DefaultId(HWND window) const {
  HWND focus = GetFocus();
  if (focus && IsChild(window, focus) && IsPushButton(focus)) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
  if (defaultButton_) return MAKELRESULT(defaultButton_, DC_HASDEFID);
  return 0;
}

void DialogKeys::RememberFocus(HWND window) {
  HWND focus = GetFocus();
  if (focus && IsChild(window, focus)) lastFocus_ = focus;
}

void DialogKeys::RestoreFocus() {
  HWND target = lastFocus_;
  if (!target || !IsWindow(target) || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    lastFocus_ = nullptr;
    MoveFocus(true);
    return;
  }
  SetFocus(target);
}

void DialogKeys::MoveFocus(bool forward) {
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

}  // namespace sw
