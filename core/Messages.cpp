#include "core/Messages.h"

namespace sw {

const char* KindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::IntegerFormat: return "EConvertError";
    case ErrorKind::FileOpen: return "EFOpenError";
    case ErrorKind::FileCreate: return "EFCreateError";
    case ErrorKind::Read: return "EReadError";
    case ErrorKind::Write: return "EWriteError";
    case ErrorKind::InvalidBitmap: return "EInvalidGraphic";
    case ErrorKind::Jpeg: return "EJPEG";
    case ErrorKind::Resource: return "EOutOfResources";
    case ErrorKind::FloatingPoint: return "EMathError";
    case ErrorKind::Os: return "EOSError";
    case ErrorKind::Registry: return "ERegistryException";
    case ErrorKind::Memory: return "EOutOfMemory";
    case ErrorKind::Timer: return "EOutOfResources";
  }
  return "Exception";
}

namespace msg {

Error IntegerFormat(const std::string& fieldText) {
  return Error(ErrorKind::IntegerFormat, "'" + fieldText + "' is not a valid integer value");
}
Error FileOpen(const std::string& path) { return Error(ErrorKind::FileOpen, "Cannot open file " + path); }
Error FileCreate(const std::string& path) { return Error(ErrorKind::FileCreate, "Cannot create file " + path); }
Error ReadError() { return Error(ErrorKind::Read, "Stream read error"); }
Error WriteError() { return Error(ErrorKind::Write, "Stream write error"); }
Error InvalidBitmap() { return Error(ErrorKind::InvalidBitmap, "Bitmap image is not valid"); }
Error Jpeg(int code) { return Error(ErrorKind::Jpeg, "JPEG error #" + std::to_string(code)); }

Error Resource(const std::string& systemText) {
  return Error(ErrorKind::Resource, systemText.empty() ? std::string("Out of system resources") : systemText);
}

Error DivisionByZero() { return Error(ErrorKind::FloatingPoint, "Floating point division by zero"); }
Error InvalidOperation() { return Error(ErrorKind::FloatingPoint, "Invalid floating point operation"); }

Error OsError(int code, const std::string& systemText) {
  std::string text = systemText;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '.'))
    text.pop_back();
  return Error(ErrorKind::Os, "System Error.  Code: " + std::to_string(code) + ".\r\n" + text);
}

Error OutOfMemory() { return Error(ErrorKind::Memory, "Out of memory"); }

Error NotEnoughMemoryForPicture() {
  // ERROR_NOT_ENOUGH_MEMORY, with the text Windows gives for it.
  return OsError(8, "Not enough memory resources are available to process this command.");
}

Error RegistryCreateKey(const std::string& section) {
  return Error(ErrorKind::Registry, "Failed to create key " + section);
}
Error RegistrySetData(const std::string& valueName) {
  return Error(ErrorKind::Registry, "Failed to set data for '" + valueName + "'");
}
Error OutOfMemoryExpandingStream() {
  return Error(ErrorKind::Memory, "Out of memory while expanding memory stream");
}
Error NotEnoughTimers() { return Error(ErrorKind::Timer, "Not enough timers available"); }

std::string WithFinalFullStop(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

std::string ApplicationErrorCaption() { return "Application Error"; }

std::string StartupFailure(const std::string& kindName, const std::string& moduleName, uint32_t codePosition,
                           const std::string& message) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string position(8, '0');
  for (int i = 7; i >= 0; --i, codePosition >>= 4) position[static_cast<size_t>(i)] = kHex[codePosition & 0xF];
  std::string text = "Exception " + kindName + " in module " + moduleName + " at " + position + ".\n" + message;
  if (!message.empty() && message.back() != '.') text += ".";
  return text;
}

std::string StretchUsage() {
  return "usage: stretch -W WIDTH -H HEIGHT [-f bmp|jpg] [-q] -o TARGET SOURCE\n"
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
}
std::string StretchVersion(const std::string& version, const std::string& extendedPath) {
  return "stretch " + version + "\nextended precision: " + extendedPath + "\n";
}
std::string UsageOptionNeedsValue(const std::string& option) { return "option " + option + " needs a value"; }
std::string UsageFormatNotKnown(const std::string& format) { return "-f takes bmp or jpg, not " + format; }
std::string UsageUnknownOption(const std::string& option) { return "unknown option " + option; }
std::string UsageNoSource() { return "no SOURCE given"; }
std::string UsageNoTarget() { return "no -o TARGET given"; }
std::string UsageNoSize() { return "give -W, -H or both"; }
std::string UsageSeveralSourcesNeedAFolder() { return "with several sources, -o must name an existing folder"; }
std::string UsageWallpaperTakesOneSource() { return "--wallpaper takes one source"; }
std::string UsageWallpaperOnlyOnWindows() { return "--wallpaper is only available on Windows"; }
std::string ProgressBar(int percent) {
  const size_t filled = static_cast<size_t>(percent * 30 / 100);
  return "[" + std::string(filled, '#') + std::string(30 - filled, ' ') + "] " + std::to_string(percent) + "%";
}
std::string UsageFailure(const std::string& reason) { return "stretch: " + reason + "\n" + StretchUsage(); }
std::string SourceFailed(const std::string& source, const std::string& message) {
  return "stretch: " + source + ": " + WithFinalFullStop(message) + "\n";
}
std::string SourceInterrupted(const std::string& source) { return "stretch: " + source + ": interrupted\n"; }
std::string SourceNotWrittenOverLaterSource(const std::string& source, const std::string& target) {
  return "stretch: " + source + ": not written: " + target + " is a later source\n";
}
std::string SourceNotWrittenOverEarlierOutput(const std::string& source, const std::string& target) {
  return "stretch: " + source + ": not written: " + target + " was written from an earlier source\n";
}

}  // namespace msg
}  // namespace sw
