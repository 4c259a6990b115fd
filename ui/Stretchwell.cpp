#include "ui/Stretchwell.h"

#include <commctrl.h>

#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace sw {
namespace {

// Where start-up failed, as an offset into the program file.
uint32_t StartupCodePosition() {
  const auto start = reinterpret_cast<uintptr_t>(&StartStretchwell);
  const auto base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
  return static_cast<uint32_t>(start - base);
}

}  // namespace

void StartStretchwell(Application& app) {
  app.Initialize();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  app.SetTitle(L"Stretchwell");
  app.DecideEightBitOutput();
  app.CreateForm(Form1);
  app.CreateForm(Form2);
}

int RunStretchwell() {
  Application app;
  try {
    StartStretchwell(app);
  } catch (...) {
    ShowStartupFailure(StartupCodePosition());
    return 1;
  }
  app.Run();
  app.Shutdown();
  return 0;
}

}  // namespace sw
