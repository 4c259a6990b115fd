#pragma once
// The about window: a captionless panel with the program's name embossed, a
// version line, a short description and one button.

#include <windows.h>

#include "platform/Handle.h"
#include "ui/BaseWindow.h"

namespace sw {

class TForm2 : public BaseWindow {
 public:
  enum ControlId : int { kButton1 = 301, kMemo1, kLabel1 };
  enum class MouseButton { Left, Right, Middle };

  explicit TForm2(Application& app) : BaseWindow(app) {}
  ~TForm2() override;

  // Event handlers.
  void FormCreate();
  void FormPaint();
  void FormMouseUp(MouseButton button, WPARAM keys, int x, int y);
  void Button1Click();

  // Whatever closes the window gives the main window back.
  void CloseHandler() override;

  // Draws the embossed title on `dc` (which holds the window's drawing
  // state) at the window's DPI.
  void DrawTitle(HDC dc) const;

 protected:
  WindowDesign Design() override;
  void Construct() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // As tall as its client area.
  SIZE OuterSize(int dpi) const override;
  void DpiChanged() override;

 private:
  void OnPaint();
  // The title's font for the window's DPI, selected into its drawing surface.
  void SelectTitleFont();

  UniqueGdiObject titleFont_;
};

extern TForm2* Form2;

}  // namespace sw
