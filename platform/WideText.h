#pragma once
// Conversions between the engine's UTF-8 text and the wide-character API.

#include <string>

namespace sw {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace sw
