#pragma once
// A window's controls made from its layout table, placed at the window's DPI
// (again whenever it changes), and the edges the window paints for them.

#include <windows.h>

#include <map>
#include <string>

#include "ui/Layout.h"

namespace sw {

class ControlLayout {
 public:
  // Creates the controls of `layout` on `parent` in the designer's stacking
  // order, placed for `dpi` and drawn with `font`. A control the system
  // refuses fails with the resource error.
  void Build(HWND parent, const ControlDesign* layout, size_t count, HFONT font, int dpi);
  // Places every control for `dpi` and gives it `font`.
  void Place(HFONT font, int dpi);
  // Draws every edge of the layout at the DPI it was last placed for.
  void PaintEdges(HDC dc) const;
  // Forgets the controls (their window is gone).
  void Clear();

  HWND Control(int id) const;
  // Sets a label's text and sizes it to the text.
  void SetLabelText(int id, const std::wstring& text);

  const ControlDesign* begin() const { return layout_; }
  const ControlDesign* end() const { return layout_ + size_; }
  int Dpi() const { return dpi_; }

  // A row's rectangle in the client area at `dpi`.
  static RECT ScaledRect(const ControlDesign& design, int dpi);

 private:
  void Create(const ControlDesign& design);
  void PlaceOne(const ControlDesign& design);
  void FitLabel(HWND label);

  HWND parent_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 0;
  const ControlDesign* layout_ = nullptr;
  size_t size_ = 0;
  std::map<int, HWND> controls_;
};

}  // namespace sw
