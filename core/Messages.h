#pragma once
// The message catalogue: every text the user can be shown, formed in one place.
// Texts are UTF-8; paths and field texts are inserted exactly as given.

#include <cstdint>
#include <string>

#include "core/Error.h"

namespace sw::msg {

Error IntegerFormat(const std::string& fieldText);  // "'%s' is not a valid integer value"
Error FileOpen(const std::string& path);             // "Cannot open file %s"
Error FileCreate(const std::string& path);           // "Cannot create file %s"
Error ReadError();                                   // "Stream read error"
Error WriteError();                                  // "Stream write error"
Error InvalidBitmap();                               // "Bitmap image is not valid"
Error Jpeg(int code);                                // "JPEG error #%d"
// The system's text for the last error when there is one, else "Out of system resources".
Error Resource(const std::string& systemText = std::string());
Error DivisionByZero();                              // "Floating point division by zero"
Error InvalidOperation();                            // "Invalid floating point operation"
// "System Error.  Code: %d." CR LF and the system's text for the code, with its
// trailing blanks, line breaks and full stops removed.
Error OsError(int code, const std::string& systemText);
Error OutOfMemory();                                 // "Out of memory" (no error code to report)
Error NotEnoughMemoryForPicture();                   // OS error 8, the system's own text
Error RegistryCreateKey(const std::string& section); // "Failed to create key %s"
Error RegistrySetData(const std::string& valueName); // "Failed to set data for '%s'"
Error OutOfMemoryExpandingStream();                  // "Out of memory while expanding memory stream"
Error NotEnoughTimers();                             // "Not enough timers available"

// The error box's rule: a non-empty text whose last character's code is above
// '.' (0x2E) gets a final "."; in UTF-8 every byte of a non-ASCII character is
// above 0x2E, so comparing the last byte gives the same answer as the code.
std::string WithFinalFullStop(const std::string& text);

// The start-up failure box: caption "Application Error"; text "Exception %s
// in module %s at %p." (kind name, program file name, code position as eight
// hexadecimal digits), a line feed, then the message with a final "." unless
// it is empty or already ends in one.
std::string ApplicationErrorCaption();
std::string StartupFailure(const std::string& kindName, const std::string& moduleName, uint32_t codePosition,
                           const std::string& message);

// The command line's own texts (stretch): its usage, its usage errors, and
// the lines it writes for each source. Each line it writes ends in "\n".
std::string StretchUsage();
// "stretch %s", then a line "extended precision: %s" with the path the
// process takes (the x87 unit or software).
std::string StretchVersion(const std::string& version, const std::string& extendedPath);
std::string UsageOptionNeedsValue(const std::string& option);  // "option %s needs a value"
std::string UsageFormatNotKnown(const std::string& format);    // "-f takes bmp or jpg, not %s"
std::string UsageUnknownOption(const std::string& option);     // "unknown option %s"
std::string UsageNoSource();                                   // "no SOURCE given"
std::string UsageNoTarget();                                   // "no -o TARGET given"
std::string UsageNoSize();                                     // "give -W, -H or both"
std::string UsageSeveralSourcesNeedAFolder();
std::string UsageWallpaperTakesOneSource();
std::string UsageWallpaperOnlyOnWindows();
// The progress bar drawn on a terminal: "[###...   ] %d%%", 30 places wide.
std::string ProgressBar(int percent);
// "stretch: %s", a line break, then the usage.
std::string UsageFailure(const std::string& reason);
// "stretch: %s: %s" with the source and the error box's text (its final "." added).
std::string SourceFailed(const std::string& source, const std::string& message);
// "stretch: %s: interrupted"
std::string SourceInterrupted(const std::string& source);
// "stretch: %s: not written: %s is a later source" or "... was written from an earlier source".
std::string SourceNotWrittenOverLaterSource(const std::string& source, const std::string& target);
std::string SourceNotWrittenOverEarlierOutput(const std::string& source, const std::string& target);

}  // namespace sw::msg
