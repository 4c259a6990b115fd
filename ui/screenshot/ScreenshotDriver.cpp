// Drives a running Stretchwell.exe through the views scripts/screenshot
// saves: the main window with a picture browsed, the about window and an
// error box. It runs in the same Wine desktop as the program and talks to its
// windows by messages only. At each view it writes NAME.ready (holding the
// area to capture, as WxH+X+Y) into the folder given as its argument and
// waits until the script has removed the file.

#include <windows.h>

#include <dlgs.h>

#include <cstdio>
#include <string>
#include <vector>

#include "desktop/VisibleWindow.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace {

using sw::TForm1;
using sw::TForm2;

constexpr int kButton1 = TForm1::kButton1;
constexpr int kLabel7 = TForm1::kLabel7;
constexpr int kEdit3 = TForm1::kEdit3;
constexpr int kEdit4 = TForm1::kEdit4;
constexpr int kButton3 = TForm1::kButton3;
constexpr int kMenuAbout = TForm1::kN7;
constexpr int kAboutButton = TForm2::kButton1;
constexpr int kFileNameBox = cmb13;  // the explorer-style dialog's file-name combo box
constexpr DWORD kPatienceMs = 30000;

std::wstring folder;

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

HWND WaitForWindow(const wchar_t* className, DWORD process) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50)) {
    if (HWND window = sw::FindVisibleWindow(className, process)) return window;
  }
  std::fprintf(stderr, "screenshot driver: no window of class %ls\n", className);
  ExitProcess(1);
}

bool WaitFor(bool (*condition)(HWND), HWND window) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50))
    if (condition(window)) return true;
  return false;
}

RECT Union(const std::vector<HWND>& windows) {
  RECT all{};
  bool first = true;
  for (HWND window : windows) {
    RECT rect;
    GetWindowRect(window, &rect);
    if (first) all = rect; else UnionRect(&all, &all, &rect);
    first = false;
  }
  InflateRect(&all, 12, 12);
  return all;
}

// Hands the view to the script and waits until it has taken its picture.
void Ready(const wchar_t* name, const std::vector<HWND>& windows) {
  Sleep(400);  // let every window finish painting
  const RECT area = Union(windows);
  const std::wstring path = folder + L"\\" + name + L".ready";
  FILE* file = _wfopen(path.c_str(), L"w");
  if (!file) ExitProcess(2);
  std::fprintf(file, "%ldx%ld+%ld+%ld\n", area.right - area.left, area.bottom - area.top, area.left, area.top);
  std::fclose(file);
  for (DWORD start = GetTickCount(); GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; Sleep(50))
    if (GetTickCount() - start > kPatienceMs) ExitProcess(3);
}

// A 640 x 480 picture to browse: a soft diagonal gradient.
std::wstring WritePicture() {
  const int width = 640, height = 480, stride = width * 3;
  std::vector<unsigned char> file(54 + static_cast<size_t>(stride) * height, 0);
  auto put32 = [&](size_t at, unsigned value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<unsigned>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* pixel = &file[54 + static_cast<size_t>(y) * stride + 3 * x];
      pixel[0] = static_cast<unsigned char>(255 * x / width);
      pixel[1] = static_cast<unsigned char>(255 * y / height);
      pixel[2] = 160;
    }
  const std::wstring path = folder + L"\\Картинка 640x480.bmp";
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) ExitProcess(2);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
  return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 1;
  folder = argv[1];
  const std::wstring picture = WritePicture();

  HWND main = WaitForWindow(L"TForm1", 0);
  DWORD process = 0;
  GetWindowThreadProcessId(main, &process);

  // Browse: the open dialog gets the picture's path and is confirmed.
  PostMessageW(GetDlgItem(main, kButton1), BM_CLICK, 0, 0);
  HWND dialog = WaitForWindow(L"#32770", process);
  HWND name = nullptr;
  for (DWORD start = GetTickCount(); !name && GetTickCount() - start < kPatienceMs; Sleep(50))
    name = GetDlgItem(dialog, kFileNameBox);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picture.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  if (!WaitFor([](HWND window) { return TextOf(GetDlgItem(window, kLabel7)) == L"640"; }, main)) return 4;
  SendMessageW(GetDlgItem(main, kEdit3), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"320"));
  SendMessageW(GetDlgItem(main, kEdit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"240"));
  if (!WaitFor([](HWND window) { return IsWindowEnabled(GetDlgItem(window, kButton3)) != FALSE; }, main)) return 5;
  Ready(L"main", {main});

  // The about window, centred on the main window.
  PostMessageW(main, WM_COMMAND, kMenuAbout, 0);
  HWND about = WaitForWindow(L"TForm2", process);
  Ready(L"about", {main, about});
  PostMessageW(GetDlgItem(about, kAboutButton), BM_CLICK, 0, 0);
  if (!WaitFor([](HWND window) { return IsWindowEnabled(window) != FALSE; }, main)) return 6;

  // An error box: a height that is no whole number.
  SendMessageW(GetDlgItem(main, kEdit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12a"));
  Sleep(100);
  PostMessageW(GetDlgItem(main, kButton3), BM_CLICK, 0, 0);
  HWND box = WaitForWindow(L"#32770", process);
  Ready(L"error", {main, box});
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  Sleep(300);
  PostMessageW(main, WM_CLOSE, 0, 0);
  return 0;
}
