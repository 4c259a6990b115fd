#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "BmpBytes.h"
#include "core/Messages.h"
#include "platform/FileAccess.h"

namespace sw::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Each test gets a folder of its own under the build's test folder.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("STRETCHWELL_TEST_TMP");
    const fs::path root = base != nullptr && *base != '\0' ? fs::path(base) : fs::temp_directory_path();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    folder_ = root / (std::string("files-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                      std::to_string(stamp));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder_, ignored))
      fs::permissions(entry.path(), fs::perms::owner_all, ignored);
    fs::remove_all(folder_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static void Put(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static Bytes Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static Picture Sample(int32_t width, int32_t height) {
    Picture picture = Picture::CreateDisplayCompatible(width, height);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        picture.WritePixel(x, y, Rgb(static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 50), 77));
    return picture;
  }

  const Bytes earlier_{'e', 'a', 'r', 'l', 'i', 'e', 'r'};
  fs::path folder_;
};

// --- Reading ------------------------------------------------------------------

using BmpFileReading = FileTest;

TEST_F(BmpFileReading, AMissingFileCannotBeOpenedAndThePictureIsUntouched) {
  Picture picture = Sample(2, 2);
  const std::string path = PathOf("missing.bmp");
  EXPECT_EQ(FailureOf([&] { LoadBmpFile(picture, path); }), "EFOpenError: Cannot open file " + path);
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(FailureOf([&] { LoadBmpFile(picture, ""); }), "EFOpenError: Cannot open file ");
  const std::string folder = folder_.string();
  EXPECT_EQ(FailureOf([&] { LoadBmpFile(picture, folder); }), "EFOpenError: Cannot open file " + folder);
}

TEST_F(BmpFileReading, TheFileIsClosedAfterAFailedRead) {
  const std::string path = PathOf("bad.bmp");
  Put(path, {'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Picture picture;
  EXPECT_EQ(FailureOf([&] { LoadBmpFile(picture, path); }), kNotValid);
  // Windows refuses to delete a file that is still open.
  EXPECT_TRUE(fs::remove(path));
}

TEST_F(BmpFileReading, OtherReadersAreAllowedButNoWriter) {
  const std::string path = PathOf("shared.bmp");
  Put(path, {1, 2, 3, 4});
  const auto first = OpenInputFile(path);
  const auto second = OpenInputFile(path);
  uint8_t a[4] = {}, b[4] = {};
  EXPECT_EQ(first->Read(a, 4), 4u);
  EXPECT_EQ(second->Read(b, 4), 4u);
  EXPECT_EQ(first->Size(), 4u);
  EXPECT_EQ(b[3], 4);
#ifdef _WIN32
  EXPECT_EQ(std::fopen(path.c_str(), "r+b"), nullptr) << "a writer got in while the file was open for reading";
#endif
}

TEST_F(BmpFileReading, ReadsAtAnOffsetLeaveTheReadingInOrderWhereItWas) {
  const std::string path = PathOf("offsets.bin");
  Put(path, {10, 11, 12, 13, 14, 15, 16, 17});
  const auto file = OpenInputFile(path);
  uint8_t first[2] = {}, at[3] = {}, next[2] = {}, tail[4] = {};
  EXPECT_EQ(file->Read(first, 2), 2u);
  EXPECT_EQ(file->ReadAt(5, at, 3), 3u);
  EXPECT_EQ(file->Read(next, 2), 2u);
  EXPECT_EQ(file->ReadAt(6, tail, 4), 2u) << "fewer bytes only at the end";
  EXPECT_EQ(file->ReadAt(8, tail, 4), 0u);
  EXPECT_EQ(Bytes(first, first + 2), (Bytes{10, 11}));
  EXPECT_EQ(Bytes(at, at + 3), (Bytes{15, 16, 17}));
  EXPECT_EQ(Bytes(next, next + 2), (Bytes{12, 13}));
  EXPECT_EQ(Bytes(tail, tail + 2), (Bytes{16, 17}));
}

// --- Saving -------------------------------------------------------------------

using BmpFileSaving = FileTest;

TEST_F(BmpFileSaving, ASavedPictureLoadsBackWhateverTheExtension) {
  Picture picture = Sample(4, 3);
  const std::string path = PathOf("picture.jpg");
  SaveBmpFile(picture, path);
  const Bytes bytes = Get(path);
  ASSERT_EQ(bytes.size(), 54u + 4 * 4 * 3);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  Picture back;
  LoadBmpFile(back, path);
  EXPECT_EQ(PixelsOf(back), PixelsOf(picture));
  EXPECT_EQ(Entries(), std::vector<std::string>{"picture.jpg"});
}

TEST_F(BmpFileSaving, AnEmptyPictureGivesAZeroByteFileThatLoadsAsEmpty) {
  Picture empty;
  const std::string path = PathOf("empty.bmp");
  Put(path, earlier_);
  SaveBmpFile(empty, path);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
  Picture back = Sample(1, 1);
  LoadBmpFile(back, path);
  EXPECT_TRUE(back.IsEmpty());
}

TEST_F(BmpFileSaving, SavingOverAnExistingFileReplacesItAndLeavesNothingElse) {
  const std::string path = PathOf("target.bmp");
  Put(path, earlier_);
  Picture picture = Sample(1, 1);
  SaveBmpFile(picture, path);
  EXPECT_EQ(Get(path).size(), 58u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"target.bmp"});
}

TEST_F(BmpFileSaving, ATargetThatCannotBeCreatedIsReportedWithThePathAsGiven) {
  Picture picture = Sample(1, 1);
  const std::string inMissingFolder = PathOf("no-such-folder") + "/x.bmp";
  const std::string cannotCreate = "EFCreateError: Cannot create file ";
  EXPECT_EQ(FailureOf([&] { SaveBmpFile(picture, inMissingFolder); }), cannotCreate + inMissingFolder);
  EXPECT_EQ(FailureOf([&] { SaveBmpFile(picture, ""); }), cannotCreate);
  const std::string folderTarget = PathOf("a-folder");
  fs::create_directory(folderTarget);
  EXPECT_EQ(FailureOf([&] { SaveBmpFile(picture, folderTarget); }), cannotCreate + folderTarget);
  EXPECT_TRUE(fs::is_directory(folderTarget));
  const std::string plainFile = PathOf("plain");
  Put(plainFile, earlier_);
  const std::string underAFile = plainFile + "/x.bmp";
  EXPECT_EQ(FailureOf([&] { SaveBmpFile(picture, underAFile); }), cannotCreate + underAFile);
  EXPECT_EQ(Get(plainFile), earlier_);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a-folder", "plain"}));
}

// Paths longer than MAX_PATH reach the system whole (stretch.exe says it is
// long-path aware); the temporary file beside the target must too.
TEST_F(BmpFileSaving, ATargetInAFolderOfALongPathIsWritten) {
  fs::path deep = folder_;
  for (int level = 0; level < 3; ++level) deep /= std::string(100, static_cast<char>('a' + level));
  std::error_code made;
  fs::create_directories(deep, made);
  if (made) GTEST_SKIP() << "this system refuses a folder path of " << deep.string().size() << " characters";
  const std::string path = (deep / "long.bmp").u8string();
  ASSERT_GT(path.size(), 300u);
  Picture picture = Sample(2, 1);
  SaveBmpFile(picture, path);
  Picture back;
  LoadBmpFile(back, path);
  EXPECT_EQ(back.ReadPixel(1, 0), picture.ReadPixel(1, 0));
  // Listed by the system itself: the C++ library's folder listing doesn't
  // take paths this long on every system.
  std::vector<std::string> names;
#ifdef _WIN32
  std::wstring full(32768, L'\0');
  full.resize(GetFullPathNameW(deep.wstring().c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr));
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((L"\\\\?\\" + full + L"\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(fs::path(name).u8string());
  } while (FindNextFileW(search, &found));
  FindClose(search);
#else
  for (const auto& entry : fs::directory_iterator(deep)) names.push_back(entry.path().filename().u8string());
#endif
  EXPECT_EQ(names, std::vector<std::string>{"long.bmp"});
}

TEST_F(BmpFileSaving, AFailedWriteLeavesTheEarlierFileAndNoTemporaryFile) {
  const std::string path = PathOf("keep.bmp");
  Put(path, earlier_);
  const std::string failure = FailureOf([&] {
    ReplaceFileWith(path, [](ByteSink& sink) {
      sink.Write("BM", 2);
      throw msg::WriteError();
    });
  });
  EXPECT_EQ(failure, "EWriteError: Stream write error");
  EXPECT_EQ(Get(path), earlier_);
  EXPECT_EQ(Entries(), std::vector<std::string>{"keep.bmp"});
}

TEST_F(BmpFileSaving, AReplacementLetGoUncommittedLeavesTheEarlierFileAndNoTemporaryFile) {
  const std::string path = PathOf("stopped.bmp");
  Put(path, earlier_);
  {
    ReplacementFile file(path);
    file.Sink().Write("BM", 2);
    EXPECT_EQ(Entries().size(), 2u) << "the new file is written beside the target";
  }
  EXPECT_EQ(Get(path), earlier_);
  EXPECT_EQ(Entries(), std::vector<std::string>{"stopped.bmp"});

  ReplacementFile file(path);
  file.Sink().Write("BM", 2);
  EXPECT_EQ(Get(path), earlier_) << "nothing is replaced before the commit";
  file.Commit();
  EXPECT_EQ(Get(path), (Bytes{'B', 'M'}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"stopped.bmp"});
}

TEST_F(BmpFileSaving, BytesPutAtTheirPlacesInAnyOrderMakeTheFile) {
  const std::string path = PathOf("placed.bin");
  Put(path, earlier_);
  ReplaceFileWith(path, [](RandomAccessSink& sink) {
    sink.Write("ab", 2);
    sink.WriteAt(10, "yz", 2);  // past the end: the bytes between are zero
    sink.WriteAt(4, "mn", 2);
    sink.Write("cd", 2);        // in order, after the first two whatever came between
  });
  EXPECT_EQ(Get(path), (Bytes{'a', 'b', 'c', 'd', 'm', 'n', 0, 0, 0, 0, 'y', 'z'}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"placed.bin"});
}

TEST_F(BmpFileSaving, AReadOnlyTargetIsNotReplaced) {
#ifndef _WIN32
  if (::geteuid() == 0) GTEST_SKIP() << "write permission does not bind root";
#endif
  const std::string path = PathOf("locked.bmp");
  Put(path, earlier_);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Picture picture = Sample(1, 1);
  EXPECT_EQ(FailureOf([&] { SaveBmpFile(picture, path); }), "EFCreateError: Cannot create file " + path);
  EXPECT_EQ(Get(path), earlier_);
  EXPECT_EQ(Entries(), std::vector<std::string>{"locked.bmp"});
}

#ifndef _WIN32
// The file size limit makes every write past it fail as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limited = previous_;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST_F(BmpFileSaving, AFullDiskGivesAStreamWriteErrorAndKeepsTheEarlierFile) {
  const std::string path = PathOf("full.bmp");
  Put(path, earlier_);
  Picture picture = Sample(64, 64);
  std::string failure;
  {
    FileSizeLimit limit(4096);
    failure = FailureOf([&] { SaveBmpFile(picture, path); });
  }
  EXPECT_EQ(failure, "EWriteError: Stream write error");
  EXPECT_EQ(Get(path), earlier_);
  EXPECT_EQ(Entries(), std::vector<std::string>{"full.bmp"});
}

TEST_F(BmpFileSaving, AReplacedFileKeepsItsPermissions) {
  const std::string path = PathOf("mode.bmp");
  Put(path, earlier_);
  ::chmod(path.c_str(), 0640);
  Picture picture = Sample(1, 1);
  SaveBmpFile(picture, path);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(Get(path).size(), 58u);
}

TEST_F(BmpFileSaving, SavingThroughASymbolicLinkReplacesTheFileItNames) {
  const std::string real = PathOf("real.bmp");
  const std::string link = PathOf("link.bmp");
  Put(real, earlier_);
  fs::create_symlink(real, link);
  Picture picture = Sample(1, 1);
  SaveBmpFile(picture, link);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Get(real).size(), 58u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"link.bmp", "real.bmp"}));
}
#endif

}  // namespace
}  // namespace sw::test
