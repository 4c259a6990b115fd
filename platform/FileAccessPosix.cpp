#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "core/Messages.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

class PosixInputFile : public InputFile {
 public:
  PosixInputFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixInputFile() override { ::close(fd_); }
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;

  uint64_t Size() const override { return size_; }

  size_t Read(void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  size_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  int fd_;
  uint64_t size_;
};

class PosixFileSink : public RandomAccessSink {
 public:
  explicit PosixFileSink(int fd) : fd_(fd) {}
  void Write(const void* data, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, static_cast<const char*>(data) + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw msg::WriteError();
      done += static_cast<size_t>(n);
    }
  }
  void WriteAt(uint64_t offset, const void* data, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t n =
          ::pwrite(fd_, static_cast<const char*>(data) + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw msg::WriteError();
      done += static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A rename is only durable once the folder that holds the name is on the
// disk too. A folder that can't be synced (some file systems refuse) changes
// nothing: the file is in place either way.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A symbolic link stays a link: the file it names is the one replaced.
std::string ResolvedTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
  // POSIX has no share modes; other programs stay free to read and write.
  // Opened without blocking, so that a FIFO with no writer is refused rather
  // than waited on for ever; only a regular file is read, in blocking mode.
  const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw msg::FileOpen(path);
  struct stat info {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    throw msg::FileOpen(path);
  }
  return std::make_unique<PosixInputFile>(fd, static_cast<uint64_t>(info.st_size));
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a {}, b {};
  if (first.empty() || second.empty() || ::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0)
    return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The temporary file beside the target, removed unless it was moved into place.
class ReplacementFile::Temporary {
 public:
  Temporary(const std::string& path, const std::string& target) : target_(target), sink_(-1) {
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // What could not be opened for writing in place is not replaced either:
    // a folder, or a file without write permission.
    if (exists && (S_ISDIR(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) throw msg::FileCreate(path);
    const std::string folder = FolderOf(target);
    const std::string name = target.substr(folder.size());
    // Named after the target where the name leaves room, so a left-over file is recognisable.
    name_ = folder + "." + name + ".XXXXXX";
    fd_ = ::mkstemp(&name_[0]);
    if (fd_ < 0 && errno == ENAMETOOLONG) {
      name_ = folder + ".stretchwell.XXXXXX";
      fd_ = ::mkstemp(&name_[0]);
    }
    if (fd_ < 0) throw msg::FileCreate(path);
    // mkstemp makes the file private: give it the mode of the file it
    // replaces, or the one a newly created file gets.
    mode_t mode = 0;
    if (exists) {
      mode = existing.st_mode & 07777;
    } else {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
    sink_ = PosixFileSink(fd_);
  }
  ~Temporary() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(name_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  RandomAccessSink& Sink() { return sink_; }

  void Commit(const std::string& path) {
    // The data goes to the disk before the file can take the target's
    // place: a full disk or an I/O error can surface only here.
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed) throw msg::WriteError();
    // rename() replaces the name in one step: a second writer's rename of
    // the same target comes before or after this one, never in between.
    kept_ = ::rename(name_.c_str(), target_.c_str()) == 0;
    if (!kept_) throw msg::FileCreate(path);
    SyncFolder(FolderOf(target_));
  }

 private:
  const std::string target_;
  std::string name_;
  int fd_ = -1;
  bool kept_ = false;
  PosixFileSink sink_;
};

ReplacementFile::ReplacementFile(const std::string& path) : path_(path) {
  if (path.empty()) throw msg::FileCreate(path);
  temporary_ = std::make_unique<Temporary>(path, ResolvedTarget(path));
}

ReplacementFile::~ReplacementFile() = default;

RandomAccessSink& ReplacementFile::Sink() { return temporary_->Sink(); }

void ReplacementFile::Commit() { temporary_->Commit(path_); }

}  // namespace sw
