#include "ui/WindowText.h"

#include <algorithm>

#include "platform/WideText.h"

namespace sw {

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, &text[0], length + 1);
  text.resize(static_cast<size_t>(std::max(copied, 0)));
  return text;
}

std::string SystemErrorText(DWORD code) {
  if (code == 0) return std::string();
  wchar_t buffer[256];
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 256, nullptr);
  return WideToUtf8(std::wstring(buffer, length));
}

}  // namespace sw
