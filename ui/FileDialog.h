#pragma once
// The system's open and save dialogs as the program uses them: explorer style
// with a hook, resizable, read-only box hidden, no overwrite prompt, no
// default extension, a 260-character name, placed one third down the monitor.

#include <windows.h>

#include <commdlg.h>

#include <string>

namespace sw {

class Application;

class FileDialog {
 public:
  enum class Kind { Open, Save };
  static constexpr DWORD kFlags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
  static constexpr size_t kFileNameCapacity = 260;

  // `filter`: display texts and pattern lists separated by "|". The dialog
  // belongs to `app`'s windows.
  FileDialog(Application& app, Kind kind, std::wstring filter) : app_(app), kind_(kind), filter_(std::move(filter)) {}

  std::wstring Title;     // empty: the system's own title
  std::wstring FileName;  // the initial name; the full path once confirmed

  // True with FileName from the dialog when confirmed; false, FileName
  // unchanged, when cancelled or when the dialog fails. A confirmed dialog
  // also keeps the filter the user left selected for its next showing. Every
  // window of the program is disabled while it is up.
  bool Execute();

  // Where the dialog goes: centred across and one third down `monitor`
  // (integer divisions truncating toward zero).
  static POINT Placement(const RECT& monitor, int width, int height);

 private:
  static UINT_PTR CALLBACK Hook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  Application& app_;
  Kind kind_;
  std::wstring filter_;
  DWORD filterIndex_ = 1;
  HWND placeBy_ = nullptr;
};

}  // namespace sw
