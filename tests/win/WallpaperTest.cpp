// The wallpaper setter against Wine's registry. The calls go through a
// recorder that forwards to the real registry, so the tests see both the
// exact calls and what ends up stored; every test puts back the values it
// touches.

#include "desktop/Wallpaper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/Error.h"
#include "platform/Handle.h"
#include "platform/WideText.h"

namespace sw {
namespace {

// The tests' own registry keys, closed on every way out.
struct RegistryKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};
using UniqueRegistryKey = UniqueWin32<HKEY, RegistryKeyTraits>;

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";

// ---- The registry as the tests read and prepare it --------------------------

struct StoredValue {
  DWORD type;
  std::vector<BYTE> bytes;
  bool operator==(const StoredValue& other) const { return type == other.type && bytes == other.bytes; }
};

std::optional<StoredValue> ReadDesktopValue(const wchar_t* name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktop, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::nullopt;
  UniqueRegistryKey key(raw);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  StoredValue value{type, std::vector<BYTE>(size)};
  EXPECT_EQ(RegQueryValueExW(key.Get(), name, nullptr, &type, value.bytes.data(), &size), ERROR_SUCCESS);
  value.bytes.resize(size);
  return value;
}

void PutDesktopValue(const wchar_t* name, const std::optional<StoredValue>& value) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kDesktop, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  UniqueRegistryKey key(raw);
  if (value) {
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, value->type, value->bytes.data(),
                             static_cast<DWORD>(value->bytes.size())),
              ERROR_SUCCESS);
  } else {
    RegDeleteValueW(key.Get(), name);
  }
}

StoredValue Sz(const std::wstring& text) {
  StoredValue value{REG_SZ, std::vector<BYTE>((text.size() + 1) * sizeof(wchar_t))};
  std::memcpy(value.bytes.data(), text.c_str(), value.bytes.size());
  return value;
}

// Checks a REG_SZ value of n characters as n + 1 wide characters, the last zero.
void ExpectWideString(const std::optional<StoredValue>& value, const std::wstring& text) {
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  ASSERT_EQ(value->bytes.size(), (text.size() + 1) * 2);
  std::wstring stored(text.size() + 1, L'?');
  std::memcpy(&stored[0], value->bytes.data(), value->bytes.size());
  EXPECT_EQ(stored.back(), L'\0');
  stored.pop_back();
  EXPECT_EQ(stored, text);
}

// ---- The recording seam ------------------------------------------------------

enum class Call { CreateKey, OpenKey, SetValue, Refresh, Count };

struct Recorder {
  std::vector<std::string> log;
  std::map<HKEY, std::string> names;  // open handle -> "desktop" or "section"
  int opened = 0;
  int closed = 0;
  Call failCall = Call::Count;  // fail the failAt-th call of this kind
  int failAt = 0;
  int seen[static_cast<int>(Call::Count)] = {};

  bool ShouldFail(Call call) { return ++seen[static_cast<int>(call)] == failAt && call == failCall; }
  std::string Name(HKEY key) const {
    if (key == HKEY_CURRENT_USER) return "HKCU";
    auto found = names.find(key);
    return found == names.end() ? "unknown" : found->second;
  }
  void Opened(HKEY key, const char* name) {
    ++opened;
    names[key] = name;
  }
  int Count(const std::string& prefix) const {
    int count = 0;
    for (const std::string& entry : log) count += entry.rfind(prefix, 0) == 0;
    return count;
  }
};

Recorder* recorder = nullptr;

// What a failing fake leaves in the result: not a handle, so never to be closed.
const HKEY kStale = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x5A5A0));

LONG WINAPI RecordCreateKey(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
  std::ostringstream entry;
  entry << "create " << recorder->Name(parent) << " '" << WideToUtf8(subKey) << "' " << reserved << ' '
        << (keyClass ? "class" : "NULL") << ' ' << options << " 0x" << std::hex << access << ' '
        << (security ? "security" : "NULL");
  recorder->log.push_back(entry.str());
  if (recorder->ShouldFail(Call::CreateKey)) {
    *result = kStale;
    return ERROR_ACCESS_DENIED;
  }
  const LONG status =
      RegCreateKeyExW(parent, subKey, reserved, keyClass, options, access, security, result, disposition);
  if (status == ERROR_SUCCESS) recorder->Opened(*result, parent == HKEY_CURRENT_USER ? "desktop" : "section");
  return status;
}

LONG WINAPI RecordOpenKey(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  std::ostringstream entry;
  entry << "open " << recorder->Name(parent) << " '" << WideToUtf8(subKey) << "' " << options << " 0x" << std::hex
        << access;
  recorder->log.push_back(entry.str());
  if (recorder->ShouldFail(Call::OpenKey)) {
    *result = kStale;
    return ERROR_ACCESS_DENIED;
  }
  const LONG status = RegOpenKeyExW(parent, subKey, options, access, result);
  if (status == ERROR_SUCCESS) recorder->Opened(*result, "section");
  return status;
}

LONG WINAPI RecordSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  std::ostringstream entry;
  entry << "set " << recorder->Name(key) << " '" << WideToUtf8(name) << "' " << reserved << ' ' << type << ' '
        << size;
  recorder->log.push_back(entry.str());
  if (recorder->ShouldFail(Call::SetValue)) return ERROR_ACCESS_DENIED;
  return RegSetValueExW(key, name, reserved, type, data, size);
}

LONG WINAPI RecordCloseKey(HKEY key) {
  recorder->log.push_back("close " + recorder->Name(key));
  ++recorder->closed;
  if (recorder->names.erase(key) == 0) return ERROR_INVALID_HANDLE;  // never ours: leave it alone
  return RegCloseKey(key);
}

// Counts the request instead of making it, and answers "failed" to show the answer is ignored.
BOOL WINAPI RecordRefresh(UINT action, UINT param, PVOID data, UINT winIni) {
  std::ostringstream entry;
  entry << "refresh " << action << ' ' << param << ' ' << (data ? "data" : "NULL") << ' ' << winIni;
  recorder->log.push_back(entry.str());
  return FALSE;
}

WallpaperCalls RecordingCalls() {
  WallpaperCalls calls;
  calls.createKey = &RecordCreateKey;
  calls.openKey = &RecordOpenKey;
  calls.setValue = &RecordSetValue;
  calls.closeKey = &RecordCloseKey;
  calls.systemParametersInfo = &RecordRefresh;
  return calls;
}

// Keeps the two desktop values as they were before each test.
class DesktopWallpaper : public ::testing::Test {
 protected:
  void SetUp() override {
    savedWallpaper_ = ReadDesktopValue(L"Wallpaper");
    savedTile_ = ReadDesktopValue(L"TileWallpaper");
    recorder = &record_;
  }
  void TearDown() override {
    recorder = nullptr;
    PutDesktopValue(L"Wallpaper", savedWallpaper_);
    PutDesktopValue(L"TileWallpaper", savedTile_);
  }

  Recorder record_;
  const WallpaperCalls calls_ = RecordingCalls();

 private:
  std::optional<StoredValue> savedWallpaper_;
  std::optional<StoredValue> savedTile_;
};

const StoredValue kTileZero{REG_SZ, {'0', 0, 0, 0}};

// ---- Tests -------------------------------------------------------------------

TEST_F(DesktopWallpaper, MakesTheExactCallsInOrderAndClosesEveryHandle) {
  SetDesktopWallpaper("C:\\pic\\a.bmp", calls_);  // 12 characters: 26 bytes with the zero

  const std::vector<std::string> expected = {
      "create HKCU 'Control Panel\\Desktop' 0 NULL 0 0xf003f NULL",
      "create desktop '' 0 NULL 0 0xf003f NULL",
      "close section",
      "open desktop '' 0 0xf003f",
      "set section 'Wallpaper' 0 1 26",
      "close section",
      "create desktop '' 0 NULL 0 0xf003f NULL",
      "close section",
      "open desktop '' 0 0xf003f",
      "set section 'TileWallpaper' 0 1 4",
      "close section",
      "close desktop",
      "refresh 20 0 NULL 2",
  };
  EXPECT_EQ(record_.log, expected);
  EXPECT_EQ(record_.opened, record_.closed);
}

TEST_F(DesktopWallpaper, StoresThePathAndAZeroTileAsWideStrings) {
  // No check of format, extension or existence: every name is stored as given.
  const std::pair<const char*, const wchar_t*> paths[] = {
      {"C:\\pic\\a.bmp", L"C:\\pic\\a.bmp"},
      {"D:\\photos\\holiday.jpg", L"D:\\photos\\holiday.jpg"},
      {"C:\\no such folder\\typed without extension", L"C:\\no such folder\\typed without extension"},
  };
  for (const auto& [utf8, wide] : paths) {
    SCOPED_TRACE(utf8);
    PutDesktopValue(L"TileWallpaper", Sz(L"1"));
    SetDesktopWallpaper(utf8, calls_);
    ExpectWideString(ReadDesktopValue(L"Wallpaper"), wide);
    EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), kTileZero);
  }
}

TEST_F(DesktopWallpaper, StoresACyrillicPathExactly) {
  // "C:\Картинки\фон.jpg" in UTF-8, and the same in UTF-16 below.
  SetDesktopWallpaper(
      "C:\\\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB8\xD0\xBD\xD0\xBA\xD0\xB8\\\xD1\x84\xD0\xBE\xD0\xBD.jpg", calls_);
  ExpectWideString(ReadDesktopValue(L"Wallpaper"),
                   L"C:\\\u041A\u0430\u0440\u0442\u0438\u043D\u043A\u0438\\\u0444\u043E\u043D.jpg");
}

TEST_F(DesktopWallpaper, ReplacesValuesOfAnotherType) {
  const DWORD number = 7;
  PutDesktopValue(L"Wallpaper", StoredValue{REG_DWORD, {reinterpret_cast<const BYTE*>(&number),
                                                        reinterpret_cast<const BYTE*>(&number) + sizeof number}});
  PutDesktopValue(L"TileWallpaper", StoredValue{REG_BINARY, {1, 2, 3}});

  SetDesktopWallpaper("C:\\w.bmp", calls_);

  ExpectWideString(ReadDesktopValue(L"Wallpaper"), L"C:\\w.bmp");
  EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), kTileZero);
}

TEST_F(DesktopWallpaper, BareRefreshTouchesNoRegistryAndAsksOnce) {
  RefreshDesktopWallpaper(calls_);
  EXPECT_EQ(record_.log, std::vector<std::string>{"refresh 20 0 NULL 2"});
}

TEST_F(DesktopWallpaper, TickedBoxGivesTwoIdenticalRefreshesAfterTheWrites) {
  SetDesktopWallpaper("C:\\w.bmp", calls_);
  RefreshDesktopWallpaper(calls_);
  ASSERT_GE(record_.log.size(), 3u);
  EXPECT_EQ(record_.Count("refresh"), 2);
  EXPECT_EQ(record_.log[record_.log.size() - 3], "close desktop");
  EXPECT_EQ(record_.log[record_.log.size() - 2], "refresh 20 0 NULL 2");
  EXPECT_EQ(record_.log.back(), "refresh 20 0 NULL 2");
}

TEST_F(DesktopWallpaper, AFailureEndsTheCallAndLeavesTheLaterValuesAlone) {
  struct Case {
    const char* what;
    Call call;
    int occurrence;
    const char* message;
    bool wallpaperWritten;
  };
  const Case cases[] = {
      {"desktop key", Call::CreateKey, 1, "Failed to create key Control Panel\\Desktop", false},
      {"section for Wallpaper", Call::CreateKey, 2, "Failed to create key ", false},
      {"Wallpaper write", Call::SetValue, 1, "Failed to set data for 'Wallpaper'", false},
      {"section for TileWallpaper", Call::CreateKey, 3, "Failed to create key ", true},
      {"TileWallpaper write", Call::SetValue, 2, "Failed to set data for 'TileWallpaper'", true},
  };
  const StoredValue oldWallpaper = Sz(L"C:\\old.bmp");
  const StoredValue oldTile = Sz(L"1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutDesktopValue(L"Wallpaper", oldWallpaper);
    PutDesktopValue(L"TileWallpaper", oldTile);
    record_ = Recorder();
    record_.failCall = c.call;
    record_.failAt = c.occurrence;

    try {
      SetDesktopWallpaper("C:\\new.bmp", calls_);
      ADD_FAILURE() << "no error raised";
    } catch (const Error& error) {
      EXPECT_EQ(error.Kind(), ErrorKind::Registry);
      EXPECT_EQ(error.Text(), c.message);
    }

    if (c.wallpaperWritten) {
      ExpectWideString(ReadDesktopValue(L"Wallpaper"), L"C:\\new.bmp");
    } else {
      EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), oldWallpaper);
    }
    EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), oldTile);
    EXPECT_EQ(record_.Count("refresh"), 0);
    EXPECT_EQ(record_.opened, record_.closed);
  }
  // Without the desktop key nothing at all follows the failed create.
  record_ = Recorder();
  record_.failCall = Call::CreateKey;
  record_.failAt = 1;
  EXPECT_THROW(SetDesktopWallpaper("C:\\new.bmp", calls_), Error);
  EXPECT_EQ(record_.log.size(), 1u);
}

TEST_F(DesktopWallpaper, ASectionThatCannotBeOpenedSkipsOnlyItsValue) {
  const StoredValue oldWallpaper = Sz(L"C:\\old.bmp");
  const StoredValue oldTile = Sz(L"1");
  for (int occurrence : {1, 2}) {
    SCOPED_TRACE(occurrence == 1 ? "Wallpaper skipped" : "TileWallpaper skipped");
    PutDesktopValue(L"Wallpaper", oldWallpaper);
    PutDesktopValue(L"TileWallpaper", oldTile);
    record_ = Recorder();
    record_.failCall = Call::OpenKey;
    record_.failAt = occurrence;

    EXPECT_NO_THROW(SetDesktopWallpaper("C:\\new.bmp", calls_));

    if (occurrence == 1) {
      EXPECT_EQ(ReadDesktopValue(L"Wallpaper"), oldWallpaper);
      EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), kTileZero);
    } else {
      ExpectWideString(ReadDesktopValue(L"Wallpaper"), L"C:\\new.bmp");
      EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), oldTile);
    }
    EXPECT_EQ(record_.Count("set"), 1);
    EXPECT_EQ(record_.Count("refresh"), 1);
    EXPECT_EQ(record_.opened, record_.closed);
  }
}

TEST_F(DesktopWallpaper, TheRealCallsWriteTheValuesAndRefresh) {
  recorder = nullptr;  // nothing recorded: the program's own calls
  SetDesktopWallpaper("C:\\real call.bmp");
  RefreshDesktopWallpaper();
  ExpectWideString(ReadDesktopValue(L"Wallpaper"), L"C:\\real call.bmp");
  EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), kTileZero);
}

// ---- A missing desktop key ---------------------------------------------------

constexpr wchar_t kBackupParent[] = L"Software\\Stretchwell tests";
constexpr wchar_t kBackup[] = L"Software\\Stretchwell tests\\Desktop backup";

bool KeyExists(const wchar_t* path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  RegCloseKey(raw);
  return true;
}

// Copies one key's whole tree over another, creating the target.
LONG CopyTree(const wchar_t* from, const wchar_t* to) {
  HKEY source = nullptr, target = nullptr;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source);
  if (status != ERROR_SUCCESS) return status;
  UniqueRegistryKey sourceKey(source);
  status = RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
  if (status != ERROR_SUCCESS) return status;
  UniqueRegistryKey targetKey(target);
  return RegCopyTreeW(sourceKey.Get(), nullptr, targetKey.Get());
}

bool BackupComplete() {
  return RegGetValueW(HKEY_CURRENT_USER, kBackupParent, L"Complete", RRF_RT_ANY, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

// Moves the whole desktop key aside for the test and puts it back after it.
// The backup is marked complete only once copied, so a run aborted at any
// point is mended by the next one: a complete backup is put back, a partial
// one (the desktop key not yet touched) is dropped.
class MissingDesktopKey : public ::testing::Test {
 protected:
  void SetUp() override {
    if (BackupComplete()) Restore();
    RegDeleteTreeW(HKEY_CURRENT_USER, kBackupParent);
    ASSERT_EQ(CopyTree(kDesktop, kBackup), ERROR_SUCCESS);
    const DWORD complete = 1;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kBackupParent, L"Complete", REG_DWORD, &complete, sizeof complete),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kDesktop), ERROR_SUCCESS);
    ASSERT_FALSE(KeyExists(kDesktop));
    recorder = &record_;
  }
  void TearDown() override {
    recorder = nullptr;
    if (BackupComplete()) Restore();
  }

  static void Restore() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kDesktop);
    ASSERT_EQ(CopyTree(kBackup, kDesktop), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kBackupParent), ERROR_SUCCESS);
  }

  Recorder record_;
};

TEST_F(MissingDesktopKey, IsCreatedHoldingJustTheTwoValues) {
  SetDesktopWallpaper("C:\\w.bmp", RecordingCalls());

  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kDesktop, 0, KEY_READ, &raw), ERROR_SUCCESS);
  UniqueRegistryKey key(raw);
  DWORD subKeys = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 2u);
  ExpectWideString(ReadDesktopValue(L"Wallpaper"), L"C:\\w.bmp");
  EXPECT_EQ(ReadDesktopValue(L"TileWallpaper"), kTileZero);
  EXPECT_EQ(record_.Count("refresh"), 1);
  EXPECT_EQ(record_.opened, record_.closed);
}

}  // namespace
}  // namespace sw
