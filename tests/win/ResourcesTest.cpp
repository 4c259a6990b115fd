// The resources of the built programs read back as Windows reads them: the
// version information Explorer's Properties show, the manifest the loader
// applies, and what it changes in a running program.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "WinTestSupport.h"

namespace sw {
namespace {

struct VersionInfo {
  VS_FIXEDFILEINFO fixed{};
  std::wstring Value(const wchar_t* name) const {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    std::vector<BYTE> copy = data;
    if (!VerQueryValueW(copy.data(), query.c_str(), &value, &length) || !value) return L"<none>";
    return static_cast<const wchar_t*>(value);
  }
  std::vector<BYTE> data;
  std::wstring language;
};

VersionInfo ReadVersion(const std::wstring& path) {
  VersionInfo info;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return info;
  info.data.resize(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data.data())) return info;
  void* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(info.data.data(), L"\\", &fixed, &length) && length >= sizeof(VS_FIXEDFILEINFO))
    info.fixed = *static_cast<VS_FIXEDFILEINFO*>(fixed);
  // The first translation names the string table.
  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* translations = nullptr;
  if (VerQueryValueW(info.data.data(), L"\\VarFileInfo\\Translation", &translations, &length) &&
      length >= sizeof(Translation)) {
    const auto* first = static_cast<const Translation*>(translations);
    wchar_t name[16];
    wsprintfW(name, L"%04x%04x", first->language, first->codePage);
    info.language = name;
  }
  return info;
}

std::string ReadManifest(const std::wstring& path) {
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return std::string();
  std::string text;
  if (HRSRC found = FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST)) {
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    if (bytes) text.assign(bytes, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

constexpr char kWindows10And11[] = "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>";
constexpr char kCommonControls6[] =
    "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"";
constexpr char kPerMonitorV2[] = ">PerMonitorV2, PerMonitor</dpiAwareness>";
constexpr char kLongPaths[] = ">true</longPathAware>";
constexpr char kAsInvoker[] = "<requestedExecutionLevel level=\"asInvoker\"";

void ExpectVersion(const std::wstring& path, const wchar_t* fileName) {
  const VersionInfo info = ReadVersion(path);
  ASSERT_FALSE(info.data.empty()) << test::Narrow(path) << " has no version information";
  EXPECT_EQ(info.fixed.dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(info.fixed.dwFileVersionMS, MAKELONG(0, 1)) << "1.0";
  EXPECT_EQ(info.fixed.dwFileVersionLS, 0u);
  EXPECT_EQ(info.fixed.dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(info.fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(info.Value(L"ProductName"), L"Stretchwell");
  EXPECT_EQ(info.Value(L"ProductVersion"), L"1.0");
  EXPECT_EQ(info.Value(L"FileVersion"), L"1.0");
  EXPECT_EQ(info.Value(L"OriginalFilename"), fileName);
  EXPECT_NE(info.Value(L"FileDescription").find(L"Stretchwell"), std::wstring::npos);
  EXPECT_EQ(info.Value(L"CompanyName"), L"The Stretchwell developers");
}

TEST(BuiltPrograms, CarryTheirVersionInformation) {
  ExpectVersion(test::BuildFile(L"ui\\Stretchwell.exe"), L"Stretchwell.exe");
  ExpectVersion(test::BuildFile(L"cli\\stretch.exe"), L"stretch.exe");
}

TEST(BuiltPrograms, WindowProgramManifestAsksForCurrentControlsAndPerMonitorDpi) {
  const std::string manifest = ReadManifest(test::BuildFile(L"ui\\Stretchwell.exe"));
  ASSERT_FALSE(manifest.empty()) << "no manifest";
  EXPECT_TRUE(Has(manifest, kCommonControls6));
  EXPECT_TRUE(Has(manifest, kPerMonitorV2));
  EXPECT_TRUE(Has(manifest, kWindows10And11));
  EXPECT_TRUE(Has(manifest, kAsInvoker));
  EXPECT_FALSE(Has(manifest, "longPathAware")) << "its file dialogs stop at MAX_PATH anyway";
}

TEST(BuiltPrograms, CommandLineManifestAsksForLongPaths) {
  const std::string manifest = ReadManifest(test::BuildFile(L"cli\\stretch.exe"));
  ASSERT_FALSE(manifest.empty()) << "no manifest";
  EXPECT_TRUE(Has(manifest, kLongPaths));
  EXPECT_TRUE(Has(manifest, kPerMonitorV2));
  EXPECT_TRUE(Has(manifest, kWindows10And11));
  EXPECT_TRUE(Has(manifest, kAsInvoker));
  EXPECT_FALSE(Has(manifest, "Common-Controls")) << "it has no windows";
}

// The test program carries the window program's manifest: the loader has
// applied it to this process.
TEST(BuiltPrograms, ManifestGivesThisProcessPerMonitorDpiAndCommonControls6) {
  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_PER_MONITOR_AWARE);
  // Only the buttons of Common Controls 6 know their ideal size.
  HWND button = CreateWindowW(L"Button", L"Обзор", WS_POPUP, 0, 0, 55, 18, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  SIZE ideal{};
  EXPECT_TRUE(SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
  EXPECT_GT(ideal.cx, 0);
  DestroyWindow(button);
}

TEST(BuiltPrograms, RunningWindowProgramIsPerMonitorAware) {
  test::ProgramProcess program;
  ASSERT_TRUE(program.Started());
  HWND main = program.WaitForWindow(L"TForm1");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(main)),
            DPI_AWARENESS_PER_MONITOR_AWARE);
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace
}  // namespace sw
