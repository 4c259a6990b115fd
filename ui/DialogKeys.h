#pragma once
// Keyboard navigation of a window built from a layout table, as in a dialog:
// Tab and Shift+Tab by the table's tab order, Enter for the default button
// (or a focused push button), arrows within a radio group, and the focus
// given back to the control that had it when the window is activated again.
//
// Enter, the arrows and the mnemonics are the system's dialog-key handling
// (IsDialogMessage). Tab is not: the system tabs through the controls in
// their stacking order, and the tables' tab order differs from it where a
// later control lies over an earlier one (Button1, second in the tab order,
// lies over the right end of Edit1, the first).

#include <windows.h>

#include <vector>

#include "ui/ControlLayout.h"

namespace sw {

class DialogKeys {
 public:
  // The tab stops of `layout` by its tab-order column; its default button.
  void Build(const ControlLayout& layout);
  void Clear();
  bool Empty() const { return tabOrder_.empty(); }

  // A keyboard message bound for `window` or one of its controls; true when
  // it was consumed as a dialog key.
  bool Translate(HWND window, MSG& message);
  // DM_GETDEFID's answer: a focused push button takes Enter itself.
  LRESULT DefaultId(HWND window) const;

  // The window is deactivated: the control with the focus is remembered.
  void RememberFocus(HWND window);
  // The focus back to the remembered control, or the first tab stop.
  void RestoreFocus();
  void MoveFocus(bool forward);

 private:
  std::vector<std::vector<HWND>> tabOrder_;  // radio items share one stop
  int defaultButton_ = 0;
  HWND lastFocus_ = nullptr;
};

}  // namespace sw
