#include "cli/Stretch.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "app/PictureType.h"
#include "app/RunTexts.h"
#include "app/ResizeRun.h"
#include "core/Messages.h"
#include "image/resize/ExtendedSteps.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

struct Options {
  std::optional<std::string> width, height, format, output;
  bool quiet = false;
  bool wallpaper = false;
  std::vector<std::string> sources;
};

struct UsageError {
  std::string text;
};

Options ParseArguments(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError{msg::UsageOptionNeedsValue(arg)};
      return args[++i];
    };
    if (arg == "-W") {
      options.width = value();
    } else if (arg == "-H") {
      options.height = value();
    } else if (arg == "-f") {
      options.format = value();
      if (*options.format != "bmp" && *options.format != "jpg")
        throw UsageError{msg::UsageFormatNotKnown(*options.format)};
    } else if (arg == "-o") {
      options.output = value();
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "--wallpaper") {
      options.wallpaper = true;
    } else if (arg == "--") {
      options.sources.insert(options.sources.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError{msg::UsageUnknownOption(arg)};
    } else {
      options.sources.push_back(arg);
    }
  }
  if (options.sources.empty()) throw UsageError{msg::UsageNoSource()};
  if (!options.output) throw UsageError{msg::UsageNoTarget()};
  if (!options.width && !options.height) throw UsageError{msg::UsageNoSize()};
  return options;
}

bool IsFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(std::filesystem::u8path(path), ignored);
}

// The source's file name without folder and extension.
std::string BaseName(const std::string& path) {
  const size_t folderEnd = path.find_last_of("/\\:");
  std::string name = folderEnd == std::string::npos ? path : path.substr(folderEnd + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return (std::filesystem::u8path(folder) / std::filesystem::u8path(name)).u8string();
}

// The command line as the run's host: a progress bar on a terminal, an
// interrupt as the stop, the wallpaper where the platform has one.
class CommandLineHost : public RunHost {
 public:
  CommandLineHost(std::ostream* progress, const StretchEnvironment& environment)
      : progress_(progress), environment_(environment) {}
  ~CommandLineHost() override { EndProgress(); }
  CommandLineHost(const CommandLineHost&) = delete;
  CommandLineHost& operator=(const CommandLineHost&) = delete;

  void RowDone(int percent) override {
    if (!progress_ || percent == shown_) return;
    shown_ = percent;
    *progress_ << "\r" << msg::ProgressBar(percent) << std::flush;
    drawn_ = true;
  }
  // An interrupt stops the run after the row under way.
  bool ShouldStop() override { return environment_.interrupted && environment_.interrupted(); }
  void RowsDone() override { EndProgress(); }

  void SetDesktopWallpaper(const std::string& path) override {
    if (environment_.setDesktopWallpaper) environment_.setDesktopWallpaper(path);
  }
  void RefreshDesktopWallpaper() override {
    if (environment_.refreshDesktopWallpaper) environment_.refreshDesktopWallpaper();
  }

 private:
  void EndProgress() {
    if (drawn_) *progress_ << "\r" << std::string(msg::ProgressBar(100).size(), ' ') << "\r" << std::flush;
    drawn_ = false;
    shown_ = -1;
  }

  std::ostream* progress_;
  const StretchEnvironment& environment_;
  int shown_ = -1;
  bool drawn_ = false;
};

// One source, as a freshly started program does it: Browse, then Execute.
// False when an interrupt stopped it.
bool StretchOne(const Options& options, const std::string& source, const std::string& target, int format,
                std::ostream& err, const StretchEnvironment& environment) {
  RunState state;
  state.WorkBitmap = std::make_unique<Picture>();
  state.WorkJpeg = std::make_unique<WorkJpeg>(environment.eightBitOutput);
  state.SourceFileName = source;
  std::unique_ptr<PictureRowSource> opened = ReadSourceSize(state, source);

  RunRequest request;
  request.widthText = options.width;
  request.heightText = options.height;
  request.format = format;
  request.wallpaper = options.wallpaper;
  CommandLineHost host(environment.errorIsTerminal && !options.quiet ? &err : nullptr, environment);
  return RunResize(state, request, host, RunTarget::Given(target), std::move(opened)) != RunOutcome::kStopped;
}

int FormatOf(const Options& options, const std::string& byName) {
  if (options.format) return *options.format == kFormatNames[kFormatBmp] ? kFormatBmp : kFormatJpg;
  return IsBmpPath(byName) ? kFormatBmp : kFormatJpg;
}

bool SameFile(const std::string& first, const std::string& second) {
  return first == second || IsSameFile(first, second);
}

// Why a batch into a folder must not write `target` for sources[index]:
// another source has written it already (as a/x.jpg and b/x.jpg both give
// x.jpg), or it is a source still to be read. Empty when it may. A source
// written over itself is allowed, as with a single source.
std::string BatchClash(const std::vector<std::string>& sources, size_t index, const std::string& target,
                       const std::vector<std::string>& written) {
  const std::string& source = sources[index];
  for (const std::string& before : written)
    if (SameFile(before, target)) return msg::SourceNotWrittenOverEarlierOutput(source, target);
  for (size_t later = index + 1; later < sources.size(); ++later)
    if (!SameFile(sources[later], source) && SameFile(sources[later], target))
      return msg::SourceNotWrittenOverLaterSource(source, target);
  return {};
}

}  // namespace

int RunStretch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const StretchEnvironment& environment) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help") {
      out << msg::StretchUsage();
      return 0;
    }
    if (arg == "--version") {
      out << msg::StretchVersion(STRETCHWELL_VERSION, ExtendedPathName());
      return 0;
    }
  }
  Options options;
  bool intoFolder = false;
  try {
    options = ParseArguments(args);
    intoFolder = IsFolder(*options.output);
    if (options.sources.size() > 1 && !intoFolder)
      throw UsageError{msg::UsageSeveralSourcesNeedAFolder()};
    if (options.wallpaper && options.sources.size() > 1) throw UsageError{msg::UsageWallpaperTakesOneSource()};
    if (options.wallpaper && !environment.setDesktopWallpaper) throw UsageError{msg::UsageWallpaperOnlyOnWindows()};
  } catch (const UsageError& usage) {
    err << msg::UsageFailure(usage.text);
    return 2;
  }

  int status = 0;
  const auto interrupted = [&](const std::string& source) {
    err << msg::SourceInterrupted(source);
    return environment.interruptedStatus;
  };
  std::vector<std::string> written;
  for (size_t index = 0; index < options.sources.size(); ++index) {
    const std::string& source = options.sources[index];
    if (environment.interrupted && environment.interrupted()) return interrupted(source);
    try {
      std::string target = *options.output;
      int format;
      if (intoFolder) {
        format = FormatOf(options, source);
        target = JoinPath(*options.output, BaseName(source) + "." + FormatName(format));
        const std::string clash = BatchClash(options.sources, index, target, written);
        if (!clash.empty()) {
          err << clash;
          status = 1;
          continue;
        }
      } else {
        format = FormatOf(options, target);
      }
      if (!StretchOne(options, source, target, format, err, environment)) return interrupted(source);
      written.push_back(target);
    } catch (const Error& error) {
      err << msg::SourceFailed(source, error.Text());
      status = 1;
    } catch (const std::bad_alloc&) {
      err << msg::SourceFailed(source, msg::OutOfMemory().Text());
      status = 1;
    } catch (const std::system_error&) {  // a thread or a lock the system could not give
      err << msg::SourceFailed(source, msg::Resource().Text());
      status = 1;
    }
  }
  return status;
}

}  // namespace sw
