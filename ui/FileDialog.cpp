#include "ui/FileDialog.h"

#include <commdlg.h>

#include <algorithm>

#include "ui/BaseWindow.h"
#include "ui/Shell.h"

namespace sw {

POINT FileDialog::Placement(const RECT& monitor, int width, int height) {
  return POINT{monitor.left + (monitor.right - monitor.left - width) / 2,
               monitor.top + (monitor.bottom - monitor.top - height) / 3};
}

bool FileDialog::Execute() {
  // Pairs of display text and patterns, each ended by a zero, and one more
  // zero (the string's own) ends the list.
  std::wstring filter = filter_;
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.push_back(L'\0');
  wchar_t fileName[kFileNameCapacity] = L"";
  FileName.copy(fileName, kFileNameCapacity - 1);

  ModalSection modal(app_);
  placeBy_ = modal.Active();
  if (!placeBy_ && app_.MainWindow()) placeBy_ = app_.MainWindow()->Handle();

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = modal.Owner();
  dialog.hInstance = GetModuleHandleW(nullptr);
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = filterIndex_;
  dialog.lpstrFile = fileName;
  dialog.nMaxFile = static_cast<DWORD>(kFileNameCapacity);
  dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  dialog.Flags = kFlags;
  dialog.lpfnHook = &FileDialog::Hook;
  dialog.lCustData = reinterpret_cast<LPARAM>(this);
  const BOOL confirmed = kind_ == Kind::Open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
  placeBy_ = nullptr;
  if (!confirmed) return false;
  FileName = fileName;
  filterIndex_ = dialog.nFilterIndex;
  return true;
}

UINT_PTR CALLBACK FileDialog::Hook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* options = reinterpret_cast<const OPENFILENAMEW*>(lParam);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, options->lCustData);
    return 0;
  }
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
    auto* self = reinterpret_cast<FileDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!self) return 0;
    Guarded(self->app_, [&] {
      // The hook's window is a child of the dialog the user sees.
      HWND frame = GetParent(dialog);
      RECT rect;
      if (!frame || !GetWindowRect(frame, &rect)) return;
      MONITORINFO monitor{};
      monitor.cbSize = sizeof(monitor);
      HMONITOR handle = MonitorFromWindow(self->placeBy_ ? self->placeBy_ : frame, MONITOR_DEFAULTTOPRIMARY);
      if (!GetMonitorInfoW(handle, &monitor)) return;
      const POINT place = Placement(monitor.rcMonitor, rect.right - rect.left, rect.bottom - rect.top);
      SetWindowPos(frame, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
  }
  return 0;
}

}  // namespace sw
