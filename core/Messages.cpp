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

}  // namespace msg
}  // namespace sw
