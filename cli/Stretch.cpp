#include "cli/Stretch.h"

#include <cmath>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "app/IntegerText.h"
#include "app/PictureType.h"
#include "app/RunTexts.h"
#include "app/StreamingResize.h"
#include "core/Messages.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

constexpr const char* kVersion = "stretch " STRETCHWELL_VERSION;
constexpr const char* kUsage =
    "usage: stretch -W WIDTH -H HEIGHT [-f bmp|jpg] [-q] -o TARGET SOURCE\n"
    "       stretch (-W WIDTH | -H HEIGHT | both) [-f bmp|jpg] [-q] -o FOLDER SOURCE...\n"
    "\n"
    "Resizes pictures (BMP or JPEG) with Stretchwell's exact bilinear resampling.\n"
    "  -W WIDTH, -H HEIGHT  the new size; give one of them to keep the aspect ratio\n"
    "  -f bmp|jpg           output format (default: by the target's extension; in a\n"
    "                       folder, by the source's type)\n"
    "  -o TARGET|FOLDER     the file to write, or an existing folder for the outputs\n"
    "  -q                   no progress bar\n"
    "  --wallpaper          make the written file the desktop wallpaper (Windows, one source)\n"
    "  --help, --version\n";

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
      if (i + 1 >= args.size()) throw UsageError{"option " + arg + " needs a value"};
      return args[++i];
    };
    if (arg == "-W") {
      options.width = value();
    } else if (arg == "-H") {
      options.height = value();
    } else if (arg == "-f") {
      options.format = value();
      if (*options.format != "bmp" && *options.format != "jpg")
        throw UsageError{"-f takes bmp or jpg, not " + *options.format};
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
      throw UsageError{"unknown option " + arg};
    } else {
      options.sources.push_back(arg);
    }
  }
  if (options.sources.empty()) throw UsageError{"no SOURCE given"};
  if (!options.output) throw UsageError{"no -o TARGET given"};
  if (!options.width && !options.height) throw UsageError{"give -W, -H or both"};
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

// The size left out, keeping the aspect ratio: Round(old x new / old) in
// double precision, ties to even.
std::string KeptAspectSize(int32_t oldSize, const std::string& givenText, int32_t givenOld) {
  const int32_t given = ParseInteger(givenText);
  if (givenOld == 0) throw given == 0 ? msg::InvalidOperation() : msg::DivisionByZero();
  const double size = std::nearbyint(static_cast<double>(oldSize) * given / givenOld);
  if (!(size >= INT32_MIN && size <= INT32_MAX)) throw msg::Resource();
  return std::to_string(static_cast<int64_t>(size));
}

// The run's inputs, as given on the command line; the size left out keeps
// the aspect ratio of the source, whose size the run tells first.
class CommandLineInputs : public StreamingInputs {
 public:
  CommandLineInputs(const Options& options, int format) : options_(options), format_(format) {}
  void SourceSize(int32_t oldWidth, int32_t oldHeight) override {
    oldWidth_ = oldWidth;
    oldHeight_ = oldHeight;
  }
  std::string NewWidthText() override {
    return options_.width ? *options_.width : KeptAspectSize(oldWidth_, *options_.height, oldHeight_);
  }
  std::string NewHeightText() override {
    return options_.height ? *options_.height : KeptAspectSize(oldHeight_, *options_.width, oldWidth_);
  }
  int FormatIndex() override { return format_; }
  bool WallpaperChecked() override { return options_.wallpaper; }

 private:
  const Options& options_;
  int format_;
  int32_t oldWidth_ = 0;
  int32_t oldHeight_ = 0;
};

// The command line as the run's host: a progress bar on a terminal, the
// target given with -o, the wallpaper where the platform has one.
class CommandLineHost : public RunHost {
 public:
  CommandLineHost(std::string target, std::ostream* progress, const StretchEnvironment& environment)
      : target_(std::move(target)), progress_(progress), environment_(environment) {}

  bool ChooseTarget(const std::string&, const std::string&, std::string& path) override {
    EndProgress();
    path = target_;
    return true;
  }
  void SetDesktopWallpaper(const std::string& path) override {
    if (environment_.setDesktopWallpaper) environment_.setDesktopWallpaper(path);
  }
  void RefreshDesktopWallpaper() override {
    if (environment_.refreshDesktopWallpaper) environment_.refreshDesktopWallpaper();
  }

  void SetProgress(int percent) override {
    if (!progress_ || percent == shown_) return;
    shown_ = percent;
    const int filled = percent * 30 / 100;
    *progress_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
               << std::string(static_cast<size_t>(30 - filled), ' ') << "] " << percent << "%" << std::flush;
    drawn_ = true;
  }
  // An interrupt stops the run after the row under way.
  bool IsQuitting() override { return environment_.interrupted && environment_.interrupted(); }

  void EndProgress() {
    if (drawn_) *progress_ << "\r" << std::string(40, ' ') << "\r" << std::flush;
    drawn_ = false;
  }

 private:
  std::string target_;
  std::ostream* progress_;
  const StretchEnvironment& environment_;
  int shown_ = -1;
  bool drawn_ = false;
};

// One source, as a freshly started program would do it: Browse, then
// Execute. False when an interrupt stopped it.
bool StretchOne(const Options& options, const std::string& source, const std::string& target, int format,
                std::ostream& err, const StretchEnvironment& environment) {
  std::ostream* progress = environment.errorIsTerminal && !options.quiet ? &err : nullptr;
  CommandLineInputs inputs(options, format);
  CommandLineHost host(target, progress, environment);
  try {
    const bool done = RunStreamingResize(source, environment.eightBitOutput, inputs, host);
    host.EndProgress();
    return done;
  } catch (...) {
    host.EndProgress();
    throw;
  }
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
  for (const std::string& before : written)
    if (SameFile(before, target)) return target + " was written from an earlier source";
  for (size_t later = index + 1; later < sources.size(); ++later)
    if (!SameFile(sources[later], sources[index]) && SameFile(sources[later], target))
      return target + " is a later source";
  return {};
}

}  // namespace

int RunStretch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const StretchEnvironment& environment) {
  for (const std::string& arg : args) {
    if (arg == "--") break;
    if (arg == "--help") {
      out << kUsage;
      return 0;
    }
    if (arg == "--version") {
      out << kVersion << "\n";
      return 0;
    }
  }
  Options options;
  bool intoFolder = false;
  try {
    options = ParseArguments(args);
    intoFolder = IsFolder(*options.output);
    if (options.sources.size() > 1 && !intoFolder)
      throw UsageError{"with several sources, -o must name an existing folder"};
    if (options.wallpaper && options.sources.size() > 1) throw UsageError{"--wallpaper takes one source"};
    if (options.wallpaper && !environment.setDesktopWallpaper)
      throw UsageError{"--wallpaper is only available on Windows"};
  } catch (const UsageError& usage) {
    err << "stretch: " << usage.text << "\n" << kUsage;
    return 2;
  }

  int status = 0;
  const auto interrupted = [&](const std::string& source) {
    err << "stretch: " << source << ": interrupted\n";
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
          err << "stretch: " << source << ": not written: " << clash << "\n";
          status = 1;
          continue;
        }
      } else {
        format = FormatOf(options, target);
      }
      if (!StretchOne(options, source, target, format, err, environment)) return interrupted(source);
      written.push_back(target);
    } catch (const Error& error) {
      err << "stretch: " << source << ": " << msg::WithFinalFullStop(error.Text()) << "\n";
      status = 1;
    } catch (const std::bad_alloc&) {
      err << "stretch: " << source << ": " << msg::WithFinalFullStop(msg::OutOfMemory().Text()) << "\n";
      status = 1;
    } catch (const std::system_error&) {  // a thread or a lock the system could not give
      err << "stretch: " << source << ": " << msg::WithFinalFullStop(msg::Resource().Text()) << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace sw
