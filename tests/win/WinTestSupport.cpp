#include "WinTestSupport.h"

#include <dlgs.h>

#include "desktop/VisibleWindow.h"
#include "platform/WideText.h"
#include "ui/WindowText.h"

namespace sw::test {
namespace {

// A dialog that never closes must not hang the tests for ever.
constexpr DWORD kDriverGiveUpMs = 20000;
constexpr int kFileNameBox = cmb13;  // the explorer-style dialog's file-name combo box

DialogDriver* activeDriver = nullptr;

// Without a window manager Wine waits two seconds for one each time a visible
// window goes away. Unmanaged windows (for this test program only, set before
// its first window loads the display driver) keep the tests quick.
struct UnmanagedWindowsUnderWine {
  UnmanagedWindowsUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe = path;
    exe.erase(0, exe.find_last_of(L"\\/") + 1);
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
      const wchar_t value[] = L"N";
      RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value));
      RegCloseKey(handle);
    }
  }
} unmanagedWindowsUnderWine;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, &CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

std::vector<HWND> ThreadWindows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

HWND FindSystemDialog() {
  for (HWND window : ThreadWindows())
    if (IsWindowVisible(window) && ClassName(window) == L"#32770") return window;
  return nullptr;
}

MessageBoxContents ReadMessageBox(HWND box) {
  MessageBoxContents contents;
  contents.caption = WindowText(box);
  HICON stop = LoadIconW(nullptr, IDI_HAND);
  for (HWND child : ChildWindows(box)) {
    const std::wstring kind = ClassName(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (kind == L"Static") {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == stop) contents.stopIcon = true;
      } else if (contents.text.empty()) {
        contents.text = WindowText(child);
      }
    } else if (kind == L"Button" && (style & WS_VISIBLE)) {
      contents.buttons.push_back(WindowText(child));
    }
  }
  return contents;
}

DialogDriver::DialogDriver() : started_(GetTickCount()) {
  activeDriver = this;
  timer_ = SetTimer(nullptr, 0, 20, &DialogDriver::Tick);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  if (activeDriver == this) activeDriver = nullptr;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogDriver* self = activeDriver;
  if (!self) return;
  HWND dialog = FindSystemDialog();
  if (!dialog) return;
  if (dialog != self->lastDialog_) {
    self->lastDialog_ = dialog;
    ++self->dialogsSeen_;
  }
  if (self->actions_.empty() || GetTickCount() - self->started_ > kDriverGiveUpMs) {
    // Nothing was planned for this dialog: close it so the test goes on and fails.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  // Taken off the queue first: the action may run a nested loop that ticks again.
  Action action = self->actions_.front();
  self->actions_.pop_front();
  if (!action(dialog)) self->actions_.push_front(std::move(action));
}

DialogDriver::Action ReadAndConfirmBox(MessageBoxContents* contents) {
  return [contents](HWND box) {
    *contents = ReadMessageBox(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
  };
}

DialogDriver::Action ConfirmFileDialog(const std::wstring& path) {
  return [path](HWND dialog) {
    HWND name = GetDlgItem(dialog, kFileNameBox);
    if (!name) return false;  // not initialised yet
    SetWindowTextW(name, path.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return true;
  };
}

DialogDriver::Action CancelDialog() {
  return [](HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return true;
  };
}

bool PumpUntil(sw::Application& app, const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return done();
    app.ProcessPendingMessages();
    if (done()) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return done();
    Sleep(5);
  }
  return true;
}

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, base);
  static int counter = 0;
  for (;;) {
    path_ = std::wstring(base) + L"stretchwell-ui-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    if (CreateDirectoryW(path_.c_str(), nullptr)) break;
  }
}

TempFolder::~TempFolder() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") DeleteFileW(File(name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path_.c_str());
}

void WriteSolidBmp(const std::wstring& path, int32_t width, int32_t height, uint8_t blue, uint8_t green,
                   uint8_t red) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 24 + 31) / 32 * 4;
  const uint32_t pixelBytes = stride * static_cast<uint32_t>(height);
  std::vector<uint8_t> file(54 + pixelBytes, 0);
  auto put16 = [&](size_t at, uint16_t value) {
    file[at] = static_cast<uint8_t>(value);
    file[at + 1] = static_cast<uint8_t>(value >> 8);
  };
  auto put32 = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);                                // pixels follow the two headers
  put32(14, 40);                                // BITMAPINFOHEADER
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));     // bottom-up
  put16(26, 1);                                 // planes
  put16(28, 24);                                // bits per pixel
  put32(34, pixelBytes);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(y) * stride];
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = blue;
      row[3 * x + 1] = green;
      row[3 * x + 2] = red;
    }
  }
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(handle);
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  GetFileSizeEx(handle, &size);
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  CloseHandle(handle);
  return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

std::wstring BuildFile(const std::wstring& relativePath) {
  // The test program lives in tests/ of the build folder.
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder.erase(folder.find_last_of(L"\\/"));
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + relativePath;
}

ProgramProcess::ProgramProcess() {
  std::wstring commandLine = L"\"" + BuildFile(L"ui\\Stretchwell.exe") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
}

ProgramProcess::~ProgramProcess() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
  CloseHandle(process_);
}

HWND ProgramProcess::FindWindowOfClass(const wchar_t* className) const {
  // A program that did not start (id 0) has no window.
  return id_ != 0 ? FindVisibleWindow(className, id_) : nullptr;
}

HWND ProgramProcess::WaitForWindow(const wchar_t* className, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOfClass(className)) != nullptr; }, timeoutMs);
  return found;
}

DWORD ProgramProcess::WaitForExit(DWORD timeoutMs, const std::function<void()>& watch) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (watch) watch();
    if (WaitForSingleObject(process_, watch ? 5 : timeoutMs) == WAIT_OBJECT_0) break;
    if (!watch || GetTickCount() - start > timeoutMs) return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace sw::test
