#include "app/IntegerText.h"

#include "core/Messages.h"

namespace sw {
namespace {

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<int32_t> ParseHex(const std::string& text, size_t pos) {
  if (pos >= text.size()) return std::nullopt;  // a lone prefix
  uint32_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0 || value > 0x0FFFFFFFu) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(value);  // the 32-bit pattern: $FFFFFFFF is -1
}

std::optional<int32_t> ParseDecimal(const std::string& text, size_t pos, bool negative) {
  if (pos >= text.size()) return std::nullopt;  // a lone sign, or nothing at all
  int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDecimalDigit(text[pos]) || value > 214748364) return std::nullopt;
    value = value * 10 + (text[pos] - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

std::optional<int32_t> TryParseInteger(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size()) return std::nullopt;
  const char first = text[pos];
  if (first == '+' || first == '-') return ParseDecimal(text, pos + 1, first == '-');
  if (first == '$' || first == 'x' || first == 'X') return ParseHex(text, pos + 1);
  if (first == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
    return ParseHex(text, pos + 2);
  return ParseDecimal(text, pos, false);
}

int32_t ParseInteger(const std::string& text) {
  const std::optional<int32_t> value = TryParseInteger(text);
  if (!value) throw msg::IntegerFormat(text);
  return *value;
}

}  // namespace sw
