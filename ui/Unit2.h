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

  TForm2() = default;
  ~TForm2() override;

  // Event handlers.
  void FormCreate();
  void FormPaint();
  void FormMouseUp(MouseButton button, WPARAM keys, int x, int y);
  void Button1Click();

  // Whatever closes the window gives the main window back.
  void CloseHandler() override;

  // Draws the embossed title on `dc` with the window's drawing state.
  static void DrawTitle(HDC dc);

 protected:
  WindowDesign Design() override;
  void Construct() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnPaint();

  UniqueGdiObject font_;
  UniqueGdiObject titleFont_;
};

extern TForm2* Form2;

}  // namespace sw
