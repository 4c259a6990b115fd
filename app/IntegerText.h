#pragma once
// Whole numbers as the size fields read them.

#include <cstdint>
#include <optional>
#include <string>

namespace sw {

// A 32-bit signed integer: leading blanks (0x20 only), then either a sign and
// decimal digits, or unsigned decimal digits, or a hexadecimal number after
// "$", "x", "X", "0x" or "0X" (at most eight significant digits, taken as the
// 32-bit pattern). Anything else, a trailing blank included, is no number.
std::optional<int32_t> TryParseInteger(const std::string& text);

// As TryParseInteger, raising the integer-format error with the text unchanged.
int32_t ParseInteger(const std::string& text);

}  // namespace sw
