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

// A new file "swXXXXXXXX.tmp" in the target's folder, named here rather than
// by GetTempFileName, whose folder may not be longer than MAX_PATH - 14;
// deleted unless it was moved into place.
class ReplacementFile::Temporary {
 public:
  Temporary(const std::string& path, const std::wstring& target) : target_(target), sink_(nullptr) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // What CREATE_ALWAYS could not open is not replaced either: a folder or a read-only file.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
      throw msg::FileCreate(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && HeldWithoutDeleteSharing(target)) throw msg::FileCreate(path);
    static LONG counter = 0;
    const std::wstring folderPrefix = FolderPrefixOf(target);
    const DWORD seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !file_; ++attempt) {
      std::wstring name = folderPrefix + L"sw";
      const DWORD unique = seed + static_cast<DWORD>(InterlockedIncrement(&counter)) * 40503u;
      for (int shift = 28; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(unique >> shift) & 0xF];
      name += L".tmp";
      file_.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_) {
        name_ = name;
      } else if (GetLastError() != ERROR_FILE_EXISTS) {
        break;
      }
    }
    if (!file_) throw msg::FileCreate(path);
    sink_ = Win32FileSink(file_.Get());
  }
  ~Temporary() {
    file_.Reset();
    if (!kept_) DeleteFileW(name_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  RandomAccessSink& Sink() { return sink_; }

  void Commit(const std::string& path) {
    // The data goes to the disk before the file can take the target's
    // place: a full disk or an I/O error can surface only here.
    const bool flushed = FlushFileBuffers(file_.Get()) != 0;
    const bool closed = CloseHandle(file_.Release()) != 0;
    if (!flushed || !closed) throw msg::WriteError();
    // A second writer replacing the same target at the same moment can hold
    // it for an instant; a program that keeps it open holds it for good.
    for (int attempt = 0; attempt < kMoveAttempts && !kept_; ++attempt) {
      if (attempt > 0) Sleep(kMoveRetryMilliseconds);
      kept_ = MoveFileExW(name_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      const DWORD error = kept_ ? ERROR_SUCCESS : GetLastError();
      if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
    }
    if (!kept_) throw msg::FileCreate(path);
  }

 private:
  const std::wstring target_;
  std::wstring name_;
  UniqueFileHandle file_;
  bool kept_ = false;
  Win32FileSink sink_;
};

ReplacementFile::ReplacementFile(const std::string& path) : path_(path) {
  if (path.empty()) throw msg::FileCreate(path);
  temporary_ = std::make_unique<Temporary>(path, Utf8ToWide(path));
}

ReplacementFile::~ReplacementFile() = default;

RandomAccessSink& ReplacementFile::Sink() { return temporary_->Sink(); }

void ReplacementFile::Commit() { temporary_->Commit(path_); }

}  // namespace sw
