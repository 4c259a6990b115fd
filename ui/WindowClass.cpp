#include "ui/WindowClass.h"

#include "core/Messages.h"
#include "ui/WindowText.h"

namespace sw {

void RegisterWindowClassOnce(WNDCLASSEXW windowClass) {
  windowClass.cbSize = sizeof(windowClass);
  windowClass.hInstance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing)) return;
  if (!RegisterClassExW(&windowClass)) throw msg::Resource(SystemErrorText(GetLastError()));
}

}  // namespace sw
