// Times runs of a running Stretchwell.exe for bench/window. It talks to the
// program's windows by messages only, as a user's clicks would reach them:
// for each job it browses the source through the open dialog, types the new
// size, and then times two spans of the run with the performance counter:
// from the click on Execute until the save dialog is shown, and from
// confirming the save dialog until the main window is enabled again. Each
// job prints one line, "NAME SPAN1 SPAN2 PEAK": the spans in seconds and the
// program's peak working set so far in MiB. At the end it closes the program.
//
//   window_driver.exe TARGET NAME=SOURCE:WIDTHxHEIGHT...

#include <windows.h>

#include <dlgs.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "desktop/VisibleWindow.h"
#include "ui/Unit1.h"

namespace {

using sw::TForm1;

constexpr int kFileNameBox = cmb13;  // the explorer-style dialog's file-name combo box
constexpr DWORD kPatienceMs = 120000;

struct Job {
  std::wstring name, source, width, height;
};

double Seconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "window driver: %s\n", what);
  std::fflush(stderr);
  ExitProcess(1);
}

// Polls every millisecond: often enough for the spans' resolution, rarely
// enough to leave the processors to the program being timed.
template <typename Condition>
void WaitFor(Condition condition, const char* what) {
  for (DWORD start = GetTickCount(); !condition(); Sleep(1))
    if (GetTickCount() - start > kPatienceMs) Fail(what);
}

HWND WaitForWindow(const wchar_t* className, DWORD process, const char* what) {
  HWND window = nullptr;
  WaitFor([&] { return (window = sw::FindVisibleWindow(className, process)) != nullptr; }, what);
  return window;
}

BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
  wchar_t name[64] = L"", text[512] = L"";
  GetClassNameW(child, name, 64);
  GetWindowTextW(child, text, 512);
  if (std::wstring(name) == L"Static" && text[0] != 0) std::fprintf(stderr, "  %ls\n", text);
  return TRUE;
}

// The file dialog's name box, once the dialog has made it, gets `path`. The
// program's error box (captioned with its title) in its place means the run
// failed.
void EnterFileName(HWND dialog, const std::wstring& path) {
  wchar_t caption[128] = L"";
  GetWindowTextW(dialog, caption, 128);
  if (std::wstring(caption) == L"Stretchwell") {
    std::fprintf(stderr, "window driver: the program reports:\n");
    EnumChildWindows(dialog, &PrintStaticText, 0);
    Fail("an error box instead of the file dialog");
  }
  HWND box = nullptr;
  WaitFor([&] { return (box = GetDlgItem(dialog, kFileNameBox)) != nullptr; }, "no file-name box");
  SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

void Browse(HWND main, DWORD process, const Job& job) {
  PostMessageW(GetDlgItem(main, TForm1::kButton1), BM_CLICK, 0, 0);
  HWND dialog = WaitForWindow(L"#32770", process, "no open dialog");
  EnterFileName(dialog, job.source);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  // The old size shows once the picture is read.
  WaitFor([&] { return !IsWindowVisible(dialog) && GetWindowTextLengthW(GetDlgItem(main, TForm1::kLabel7)) > 0; },
          "the source was not read");
}

// The program's peak working set so far, in MiB; 0 when the system won't say.
double PeakWorkingSet(DWORD process) {
  HANDLE program = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  const bool known = program && GetProcessMemoryInfo(program, &counters, sizeof(counters));
  if (program) CloseHandle(program);
  return known ? static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20) : 0;
}

void TimeRun(HWND main, DWORD process, const Job& job, const std::wstring& target) {
  SendMessageW(GetDlgItem(main, TForm1::kEdit3), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(job.width.c_str()));
  SendMessageW(GetDlgItem(main, TForm1::kEdit4), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(job.height.c_str()));
  // "jpg", whatever the last run left.
  PostMessageW(GetDlgItem(main, sw::RadioItemId(TForm1::kRadioGroup1, 1)), BM_CLICK, 0, 0);
  HWND execute = GetDlgItem(main, TForm1::kButton3);
  WaitFor([&] { return IsWindowEnabled(execute) != FALSE; }, "Execute stayed disabled");

  const double clicked = Seconds();
  PostMessageW(execute, BM_CLICK, 0, 0);
  HWND dialog = WaitForWindow(L"#32770", process, "no save dialog");
  const double asked = Seconds();
  EnterFileName(dialog, target);
  const double confirmed = Seconds();
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  // The run ends with the reset: the path field cleared, then the window
  // enabled. The field is asked by message, which the program answers only
  // between its steps.
  WaitFor([&] {
    DWORD_PTR length = 1;
    return !IsWindowVisible(dialog) &&
           SendMessageTimeoutW(GetDlgItem(main, TForm1::kEdit1), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 60000,
                               &length) != 0 &&
           length == 0 && IsWindowEnabled(main) != FALSE;
  }, "the run did not end");
  const double done = Seconds();
  std::printf("%ls %.4f %.4f %.1f\n", job.name.c_str(), asked - clicked, done - confirmed, PeakWorkingSet(process));
  std::fflush(stdout);
}

bool ParseJob(const std::wstring& text, Job& job) {
  const size_t equals = text.find(L'='), colon = text.rfind(L':'), times = text.rfind(L'x');
  if (equals == std::wstring::npos || colon == std::wstring::npos || times == std::wstring::npos || colon < equals ||
      times < colon)
    return false;
  job.name = text.substr(0, equals);
  job.source = text.substr(equals + 1, colon - equals - 1);
  job.width = text.substr(colon + 1, times - colon - 1);
  job.height = text.substr(times + 1);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) Fail("usage: window_driver.exe TARGET NAME=SOURCE:WIDTHxHEIGHT...");
  const std::wstring target = argv[1];
  std::vector<Job> jobs;
  for (int i = 2; i < argc; ++i) {
    Job job;
    if (!ParseJob(argv[i], job)) Fail("a job is NAME=SOURCE:WIDTHxHEIGHT");
    jobs.push_back(job);
  }

  HWND main = WaitForWindow(L"TForm1", 0, "no main window");
  DWORD process = 0;
  GetWindowThreadProcessId(main, &process);
  for (const Job& job : jobs) {
    Browse(main, process, job);
    TimeRun(main, process, job, target);
  }
  PostMessageW(main, WM_CLOSE, 0, 0);
  return 0;
}
