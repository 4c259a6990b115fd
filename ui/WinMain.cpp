#include <windows.h>

#include "ui/BaseWindow.h"
#include "ui/Shell.h"

namespace {

// Stands in for the main window until its layout is built.
class EmptyMainWindow : public sw::BaseWindow {
 public:
  ~EmptyMainWindow() override { Destroy(); }

 protected:
  sw::WindowSpec Spec() override {
    sw::WindowSpec spec;
    spec.className = L"TForm1";
    spec.caption = L"Stretchwell";
    spec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    spec.exStyle = WS_EX_APPWINDOW;
    spec.left = 386;
    spec.top = 230;
    spec.clientWidth = 289;
    spec.clientHeight = 185;
    return spec;
  }
};

EmptyMainWindow* mainWindow = nullptr;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  sw::Application app;
  try {
    app.Initialize();
    app.SetTitle(L"Stretchwell");
    app.CreateForm(mainWindow);
  } catch (...) {
    sw::ShowStartupFailure(0);
    return 1;
  }
  app.Run();
  app.Shutdown();
  return 0;
}
