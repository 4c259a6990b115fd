// stretch as a program among others: interrupted by the system's own means
// while it writes, two of it writing the same target at once, and (on
// Windows) a target another program holds open.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "JpegBytes.h"
#include "TempFolder.h"
#include "cli/Stretch.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/Handle.h"
#include "platform/WideText.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace sw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// As a program's standard error ends its lines.
#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

// The stretch built beside this test: cli/ next to tests/ in the build tree.
fs::path StretchProgram() {
#ifdef _WIN32
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path().parent_path() / "cli" / "stretch.exe";
#else
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "cli" / "stretch";
#endif
}

// A running stretch, its error stream going to a file.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::string& errorFile) {
#ifdef _WIN32
    std::wstring command = L"\"" + StretchProgram().wstring() + L"\"";
    // Quoted only where a blank needs it, so that a wildcard reaches the
    // program's own expansion as a shell would pass it.
    for (const std::string& arg : args)
      command += arg.empty() || arg.find(' ') != std::string::npos ? L" \"" + Utf8ToWide(arg) + L"\"" : L" " + Utf8ToWide(arg);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueFileHandle error(CreateFileW(Utf8ToWide(errorFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = error.Get();
    startup.hStdError = error.Get();
    // A console of its own, which console control events can be sent to.
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                               &startup, &process_));
#else
    std::vector<std::string> all = {StretchProgram().string()};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
      const int error = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(error, STDERR_FILENO);
      std::vector<char*> argv;
      for (std::string& arg : all) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
#endif
  }
  ~Child() {
    if (!waited_) Wait();
  }

  bool Running() {
#ifdef _WIN32
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
#else
    int status = 0;
    if (waited_) return false;
    if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
    waited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return false;
#endif
  }

  // The exit status.
  int Wait() {
#ifdef _WIN32
    if (!waited_) {
      WaitForSingleObject(process_.hProcess, INFINITE);
      DWORD code = 0;
      GetExitCodeProcess(process_.hProcess, &code);
      status_ = static_cast<int>(code);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
#else
    int status = 0;
    if (!waited_ && ::waitpid(pid_, &status, 0) == pid_)
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
#endif
    waited_ = true;
    return status_;
  }

#ifdef _WIN32
  // Sends `event` to every process on the child's console: this one joins
  // it for the moment (and ignores the event itself, for good, since the
  // event reaches it on a thread of its own, maybe after it has left).
  bool SendConsoleEvent(DWORD event) {
    static const bool ignoring = SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
    (void)ignoring;
    FreeConsole();
    if (!AttachConsole(process_.dwProcessId)) return false;
    const bool sent = GenerateConsoleCtrlEvent(event, 0) != 0;
    FreeConsole();
    return sent;
  }
  void Kill() { TerminateProcess(process_.hProcess, 9); }
#else
  bool Signal(int signal) { return ::kill(pid_, signal) == 0; }
  void Kill() { ::kill(pid_, SIGKILL); }
#endif

 private:
#ifdef _WIN32
  PROCESS_INFORMATION process_{};
#else
  pid_t pid_ = -1;
#endif
  bool waited_ = false;
  int status_ = -1;
};

class StretchProcess : public ::testing::Test {
 protected:
  std::vector<std::string> Entries(const fs::path& where) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(where)) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Waits until `child` has a temporary file beside `target`: it is writing.
  bool WaitUntilWriting(Child& child, const fs::path& folder, const std::vector<std::string>& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline && child.Running()) {
      if (Entries(folder).size() > before.size()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  std::string Source(const std::string& name, int width, int height) {
    const std::string path = folder.File(name);
    test::WriteBytes(path, test::MakeJpeg(width, height, false));
    return path;
  }

  // A batch of a large source and a small one into `out`, whose file for
  // the large one is there already, interrupted while the large one is
  // written. False when the interrupt could not be sent.
  bool ExpectAnInterruptedBatchToLeaveEverythingAsItWas(const std::function<bool(Child&)>& interrupt,
                                                        int expectedStatus) {
    const std::string large = Source("large.jpg", 1000, 800);
    const std::string small = Source("small.jpg", 40, 30);
    const fs::path out = folder.Path() / "out";
    fs::create_directory(out);
    const std::string target = (out / "large.jpg").u8string();
    test::WriteBytes(target, {'o', 'l', 'd'});
    const std::vector<std::string> before = Entries(out);
    const std::string errors = folder.File("errors.txt");
    Child child({"-W", "8000", "-o", out.u8string(), large, small}, errors);
    EXPECT_TRUE(WaitUntilWriting(child, out, before)) << "the first target was never begun";
    if (!interrupt(child)) {
      child.Kill();
      child.Wait();
      return false;
    }
    EXPECT_EQ(child.Wait(), expectedStatus);
    const Bytes error = test::ReadBytes(errors);
    EXPECT_EQ(std::string(error.begin(), error.end()), "stretch: " + large + ": interrupted" + kLineEnd);
    EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(out), before) << "no temporary file, and the second source never begun";
    return true;
  }

  test::TempFolder folder;
};

#ifndef _WIN32
TEST_F(StretchProcess, SigintStopsTheBatchAfterARowWithStatus130) {
  EXPECT_TRUE(ExpectAnInterruptedBatchToLeaveEverythingAsItWas([](Child& child) { return child.Signal(SIGINT); }, 130));
}

TEST_F(StretchProcess, SigtermStopsItTheSameWay) {
  EXPECT_TRUE(ExpectAnInterruptedBatchToLeaveEverythingAsItWas([](Child& child) { return child.Signal(SIGTERM); }, 130));
}

TEST_F(StretchProcess, AHangUpStopsItTheSameWay) {
  EXPECT_TRUE(ExpectAnInterruptedBatchToLeaveEverythingAsItWas([](Child& child) { return child.Signal(SIGHUP); }, 130));
}

TEST_F(StretchProcess, AnInterruptIgnoredWhenItStartedStaysIgnored) {
  // As for a job a script starts in the background: the terminal's Ctrl+C is
  // not meant for it.
  const std::string source = Source("large.jpg", 1000, 800);
  const std::string target = folder.File("out.jpg");
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &previous);
  Child child({"-W", "6000", "-o", target, source}, folder.File("errors.txt"));
  sigaction(SIGINT, &previous, nullptr);
  EXPECT_TRUE(WaitUntilWriting(child, folder.Path(), {"large.jpg", "errors.txt"}));
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_FALSE(test::ReadBytes(target).empty());
}

TEST_F(StretchProcess, AFifoAsTheSourceIsRefusedRatherThanWaitedOn) {
  const std::string fifo = folder.File("pipe.jpg");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Child child({"-W", "10", "-o", folder.File("out.bmp"), fifo}, folder.File("errors.txt"));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (child.Running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (child.Running()) {
    child.Kill();
    child.Wait();
    FAIL() << "still waiting on the FIFO";
  }
  EXPECT_EQ(child.Wait(), 1);
  const Bytes error = test::ReadBytes(folder.File("errors.txt"));
  EXPECT_EQ(std::string(error.begin(), error.end()), "stretch: " + fifo + ": Cannot open file " + fifo + ".\n");
}
#else
TEST_F(StretchProcess, CtrlCStopsTheBatchAfterARowWithStatus1) {
  EXPECT_TRUE(ExpectAnInterruptedBatchToLeaveEverythingAsItWas(
      [](Child& child) { return child.SendConsoleEvent(CTRL_C_EVENT); }, 1));
}

TEST_F(StretchProcess, CtrlBreakStopsItTheSameWay) {
  // Wine 8 sends no Ctrl+Break: its server implements Ctrl+C alone.
  if (!ExpectAnInterruptedBatchToLeaveEverythingAsItWas(
          [](Child& child) { return child.SendConsoleEvent(CTRL_BREAK_EVENT); }, 1))
    GTEST_SKIP() << "this system sends no Ctrl+Break";
}

TEST_F(StretchProcess, TheConsoleGetsItsCodePageBack) {
  // stretch.exe writes UTF-8 to its console, which outlives it: a console
  // shared with this test must keep the code page it had.
  const bool own = GetConsoleWindow() == nullptr && GetConsoleOutputCP() == 0 && AllocConsole();
  const UINT original = GetConsoleOutputCP();
  if (original == 0) GTEST_SKIP() << "no console";
  const UINT before = original == 866 ? 437 : 866;  // anything but UTF-8
  ASSERT_TRUE(SetConsoleOutputCP(before));
  std::wstring command = L"\"" + StretchProgram().wstring() + L"\" --version";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  EXPECT_EQ(GetConsoleOutputCP(), before);
  SetConsoleOutputCP(original);
  if (own) FreeConsole();
}

// cmd and PowerShell pass *.jpg on as it is; the program expands it, as
// other systems' shells do.
TEST_F(StretchProcess, WildcardsInTheSourcesAreExpanded) {
  Source("one.jpg", 30, 20);
  Source("two.jpg", 20, 30);
  const fs::path out = folder.Path() / "out";
  fs::create_directory(out);
  Child child({"-W", "10", "-o", out.u8string(), (folder.Path() / "*.jpg").u8string()}, folder.File("errors.txt"));
  EXPECT_EQ(child.Wait(), 0);
  EXPECT_EQ(Entries(out), (std::vector<std::string>{"one.jpg", "two.jpg"}));
}

TEST_F(StretchProcess, ATargetHeldOpenWithoutDeleteSharingCannotBeCreated) {
  const std::string source = Source("s.jpg", 30, 20);
  const std::string target = folder.File("held.jpg");
  test::WriteBytes(target, {'o', 'l', 'd'});
  const std::vector<std::string> before = Entries(folder.Path());
  UniqueFileHandle held(CreateFileW(Utf8ToWide(target).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  std::ostringstream out, err;
  EXPECT_EQ(RunStretch({"-W", "60", "-o", target, source}, out, err, StretchEnvironment{}), 1);
  EXPECT_EQ(err.str(), "stretch: " + source + ": Cannot create file " + target + ".\n");
  held.Reset();
  EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(Entries(folder.Path()), before);
}
#endif

TEST_F(StretchProcess, TwoWritingOneTargetLeaveOneWholeFileOfEither) {
  const std::string first = Source("first.jpg", 300, 200);
  const std::string second = Source("second.jpg", 200, 300);
  // What each writes alone.
  std::vector<Bytes> alone;
  for (const std::string& source : {first, second}) {
    std::ostringstream out, err;
    const std::string target = folder.File("alone.jpg");
    ASSERT_EQ(RunStretch({"-W", "1500", "-H", "1100", "-o", target, source}, out, err, StretchEnvironment{}), 0);
    alone.push_back(test::ReadBytes(target));
    fs::remove(fs::u8path(target));
  }
  ASSERT_NE(alone[0], alone[1]);
  const std::string target = folder.File("both.jpg");
  for (int round = 0; round < 3; ++round) {
    Child a({"-W", "1500", "-H", "1100", "-o", target, first}, folder.File("a.txt"));
    Child b({"-W", "1500", "-H", "1100", "-o", target, second}, folder.File("b.txt"));
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    const Bytes written = test::ReadBytes(target);
    EXPECT_TRUE(written == alone[0] || written == alone[1]) << "a mix of " << written.size() << " bytes";
    EXPECT_EQ(Entries(folder.Path()),
              (std::vector<std::string>{"a.txt", "b.txt", "both.jpg", "first.jpg", "second.jpg"}));
  }
}

}  // namespace
}  // namespace sw
