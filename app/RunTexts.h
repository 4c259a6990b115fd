#pragma once
// The run's own texts: the save dialog's title and the names of the two
// output formats, which also make the dialog's initial file name ("*.bmp").

namespace sw {

constexpr const char* kSaveDialogTitle = "Сохраняем модифицированный файл";

// Items of the format group, by index.
enum OutputFormat : int { kFormatBmp = 0, kFormatJpg = 1 };
constexpr const char* kFormatNames[] = {"bmp", "jpg"};

// The format's name, or an empty text for an index that names none.
constexpr const char* FormatName(int index) {
  return index >= kFormatBmp && index <= kFormatJpg ? kFormatNames[index] : "";
}

}  // namespace sw
