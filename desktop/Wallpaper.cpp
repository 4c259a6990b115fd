#include "desktop/Wallpaper.h"

#include <limits>
#include <utility>

#include "core/Messages.h"
#include "platform/WideText.h"

namespace sw {
namespace {

constexpr wchar_t kDesktopKeyPath[] = L"Control Panel\\Desktop";
constexpr char kDesktopKeyName[] = "Control Panel\\Desktop";

// The settings are addressed as sections of the desktop key; the empty
// section is the desktop key itself.
constexpr wchar_t kSectionWide[] = L"";
constexpr char kSectionName[] = "";

// A value's name for the call and for the message.
struct ValueName {
  const wchar_t* wide;
  const char* text;
};
constexpr ValueName kWallpaper{L"Wallpaper", "Wallpaper"};
constexpr ValueName kTileWallpaper{L"TileWallpaper", "TileWallpaper"};

// A key handle closed through the same calls that opened it, so tests that
// substitute the calls also see every close.
class SeamKey {
 public:
  explicit SeamKey(const WallpaperCalls& calls) : calls_(calls) {}
  ~SeamKey() { Reset(); }
  SeamKey(const SeamKey&) = delete;
  SeamKey& operator=(const SeamKey&) = delete;

  HKEY Get() const { return key_; }
  HKEY* Receive() {
    Reset();
    return &key_;
  }
  void Reset() {
    if (key_ != nullptr) calls_.closeKey(std::exchange(key_, nullptr));
  }
  // A failed call hands back no handle: whatever it left is not ours to close.
  LONG Check(LONG status) {
    if (status != ERROR_SUCCESS) key_ = nullptr;
    return status;
  }

 private:
  const WallpaperCalls& calls_;
  HKEY key_ = nullptr;
};

LONG CreateKey(const WallpaperCalls& calls, HKEY parent, const wchar_t* subKey, SeamKey& key) {
  return key.Check(calls.createKey(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                   key.Receive(), nullptr));
}

void WriteText(const WallpaperCalls& calls, HKEY desktop, const ValueName& name, const std::wstring& text) {
  {
    SeamKey section(calls);
    if (CreateKey(calls, desktop, kSectionWide, section) != ERROR_SUCCESS) throw msg::RegistryCreateKey(kSectionName);
  }

  SeamKey section(calls);
  if (section.Check(calls.openKey(desktop, kSectionWide, 0, KEY_ALL_ACCESS, section.Receive())) != ERROR_SUCCESS ||
      section.Get() == nullptr) {
    return;  // No handle: this value is skipped without a report.
  }

  // The count includes the terminating zero; a text too long for it can't be stored.
  const size_t characters = text.size() + 1;
  if (characters > std::numeric_limits<DWORD>::max() / sizeof(wchar_t) ||
      calls.setValue(section.Get(), name.wide, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(characters * sizeof(wchar_t))) != ERROR_SUCCESS) {
    throw msg::RegistrySetData(name.text);
  }
}

}  // namespace

void SetDesktopWallpaper(const std::string& pathUtf8) { SetDesktopWallpaper(pathUtf8, WallpaperCalls()); }

void SetDesktopWallpaper(const std::string& pathUtf8, const WallpaperCalls& calls) {
  const std::wstring path = Utf8ToWide(pathUtf8);
  {
    // Without the desktop key nothing is written: the values belong nowhere else.
    SeamKey desktop(calls);
    if (CreateKey(calls, HKEY_CURRENT_USER, kDesktopKeyPath, desktop) != ERROR_SUCCESS || desktop.Get() == nullptr) {
      throw msg::RegistryCreateKey(kDesktopKeyName);
    }
    WriteText(calls, desktop.Get(), kWallpaper, path);
    WriteText(calls, desktop.Get(), kTileWallpaper, L"0");
  }
  RefreshDesktopWallpaper(calls);
}

void RefreshDesktopWallpaper() { RefreshDesktopWallpaper(WallpaperCalls()); }

void RefreshDesktopWallpaper(const WallpaperCalls& calls) {
  // The answer is ignored: a refresh that does not take has nothing to report.
  calls.systemParametersInfo(SPI_SETDESKWALLPAPER, 0, nullptr, SPIF_SENDWININICHANGE);
}

}  // namespace sw
