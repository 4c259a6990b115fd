#include <windows.h>

#include <algorithm>
#include <string>

#include "core/Messages.h"
#include "platform/FileAccess.h"
#include "platform/Handle.h"
#include "platform/WideText.h"

namespace sw {
namespace {

// Reads and writes at an offset of their own, so reading or writing in
// order and at an offset never disturb each other.
OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

class Win32InputFile : public InputFile {
 public:
  Win32InputFile(UniqueFileHandle file, uint64_t size) : file_(std::move(file)), size_(size) {}
  uint64_t Size() const override { return size_; }

  size_t Read(void* buffer, size_t count) override {
    const size_t done = ReadAt(position_, buffer, count);
    position_ += done;
    return done;
  }

  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      OVERLAPPED at = At(offset + done);
      DWORD got = 0;
      if (!ReadFile(file_.Get(), static_cast<char*>(buffer) + done, chunk, &got, &at) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  UniqueFileHandle file_;
  uint64_t size_;
  uint64_t position_ = 0;
};

class Win32FileSink : public RandomAccessSink {
 public:
  explicit Win32FileSink(HANDLE file) : file_(file) {}
  void Write(const void* data, size_t count) override {
    WriteAt(position_, data, count);
    position_ += count;
  }
  void WriteAt(uint64_t offset, const void* data, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
      OVERLAPPED at = At(offset + done);
      DWORD put = 0;
      if (!WriteFile(file_, static_cast<const char*>(data) + done, chunk, &put, &at) || put == 0)
        throw msg::WriteError();
      done += put;
    }
  }

 private:
  HANDLE file_;
  uint64_t position_ = 0;
};

// The folder part of a path with its last separator ("C:\\pics\\", "C:\\",
// "C:" for a drive's current folder), or nothing for a bare file name.
std::wstring FolderPrefixOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

constexpr int kTemporaryNameAttempts = 64;

constexpr int kMoveAttempts = 5;
constexpr DWORD kMoveRetryMilliseconds = 20;

// Whether another program holds the file open without letting it be deleted
// (or renamed over): replacing it would fail only after all the work.
bool HeldWithoutDeleteSharing(const std::wstring& path) {
  UniqueFileHandle probe(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !probe && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Deletes the temporary file unless it was moved into place.
class TemporaryFile {
 public:
  // A new file "swXXXXXXXX.tmp" in the folder, named here rather than by
  // GetTempFileName, whose folder may not be longer than MAX_PATH - 14.
  explicit TemporaryFile(const std::wstring& folderPrefix) {
    static LONG counter = 0;
    const DWORD seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
      std::wstring name = folderPrefix + L"sw";
      const DWORD unique = seed + static_cast<DWORD>(InterlockedIncrement(&counter)) * 40503u;
      for (int shift = 28; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(unique >> shift) & 0xF];
      name += L".tmp";
      file_.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_) {
        name_ = name;
        return;
      }
      if (GetLastError() != ERROR_FILE_EXISTS) return;
    }
  }
  ~TemporaryFile() {
    file_.Reset();
    if (!name_.empty() && !kept_) DeleteFileW(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Opened() const { return static_cast<bool>(file_); }
  HANDLE Get() const { return file_.Get(); }
  // Puts the data on the disk before the file can take the target's place: a
  // full disk or an I/O error can surface only here.
  bool FlushAndClose() {
    const bool flushed = FlushFileBuffers(file_.Get()) != 0;
    const bool closed = CloseHandle(file_.Release()) != 0;
    return flushed && closed;
  }
  // A second writer replacing the same target at the same moment can hold
  // it for an instant; a program that keeps it open holds it for good.
  bool MoveTo(const std::wstring& target) {
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
      if (attempt > 0) Sleep(kMoveRetryMilliseconds);
      kept_ = MoveFileExW(name_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      const DWORD error = kept_ ? ERROR_SUCCESS : GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    }
    return kept_;
  }

 private:
  std::wstring name_;
  UniqueFileHandle file_;
  bool kept_ = false;
};

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  UniqueFileHandle file(path.empty() ? INVALID_HANDLE_VALUE
                                     : CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw msg::FileOpen(path);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) throw msg::FileOpen(path);
  return std::make_unique<Win32InputFile>(std::move(file), static_cast<uint64_t>(size.QuadPart));
}

bool IsSameFile(const std::string& first, const std::string& second) {
  // Opened for no access at all, which any sharing of other openers allows.
  const auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    UniqueFileHandle file(path.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileW(Utf8ToWide(path).c_str(), 0,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.Get(), &info);
  };
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  return identity(first, a) && identity(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

void ReplaceFileWith(const std::string& path, const std::function<void(RandomAccessSink&)>& write) {
  const std::wstring wide = Utf8ToWide(path);
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
  // What CREATE_ALWAYS could not open is not replaced either: a folder or a read-only file.
  if (path.empty() ||
      (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))))
    throw msg::FileCreate(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && HeldWithoutDeleteSharing(wide)) throw msg::FileCreate(path);
  TemporaryFile temporary(FolderPrefixOf(wide));
  if (!temporary.Opened()) throw msg::FileCreate(path);
  Win32FileSink sink(temporary.Get());
  write(sink);
  if (!temporary.FlushAndClose()) throw msg::WriteError();
  if (!temporary.MoveTo(wide)) throw msg::FileCreate(path);
}

}  // namespace sw
