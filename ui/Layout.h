#pragma once
// A window's controls as data: one row per control, walked once when the
// window is created and again for the edges its paint draws.

#include <windows.h>

namespace sw {

enum class ControlKind {
  Bevel,        // no window: only its edge, painted by the window
  Label,        // static text, sized to its text like an auto-sized label
  Edit,         // single-line edit field with a sunken border
  Memo,         // multi-line text
  Button,       // push button
  CheckBox,
  RadioGroup,   // a group box with one radio button per item
  ProgressBar,  // the common control, range 0..100
};

enum class Edge {
  None,
  EtchedFrame,    // a lowered frame round the rectangle
  RaisedTopLine,  // a light line over a dark one along the top
  LoweredBox,     // dark above and left, light below and right
  SoftBevel,      // a soft one-pixel bevel; a windowed control sits inside it
};

// Positions and sizes are pixels of the client area. Rows are in the
// designer's stacking order, bottom first: a later row lies over an earlier
// one where they overlap. The tab order is its own column.
struct ControlDesign {
  const wchar_t* name;
  int id;  // 0 for bevels
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  const wchar_t* text;  // caption or content
  int tabOrder;         // -1: not in the tab order
  DWORD style;          // added to the kind's own styles
  Edge edge;
  const wchar_t* const* items;  // radio group: item captions, null-terminated
  int selectedItem;             // radio group: the item checked at start
};

// Radio group items get the identifiers following their group's.
constexpr int RadioItemId(int groupId, int index) { return groupId + 1 + index; }

}  // namespace sw
