#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "image/FileAccess.h"
#include "image/Messages.h"

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

 private:
  int fd_;
  uint64_t size_;
};

class PosixFileSink : public ByteSink {
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

 private:
  int fd_;
};

// Removes the temporary file unless it was moved into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : name_(TemplateFor(target)) {
    fd_ = ::mkstemp(&name_[0]);
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Opened() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  bool MoveTo(const std::string& target) {
    kept_ = ::rename(name_.c_str(), target.c_str()) == 0;
    return kept_;
  }

 private:
  static std::string TemplateFor(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
  }

  std::string name_;
  int fd_ = -1;
  bool kept_ = false;
};

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const std::string& path) {
  const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw msg::FileOpen(path);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw msg::FileOpen(path);
  }
  return std::make_unique<PosixInputFile>(fd, static_cast<uint64_t>(info.st_size));
}

void ReplaceFileWith(const std::string& path, const std::function<void(ByteSink&)>& write) {
  struct stat existing {};
  if (path.empty() || (::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)))
    throw msg::FileCreate(path);
  TemporaryFile temporary(path);
  if (!temporary.Opened()) throw msg::FileCreate(path);
  // mkstemp makes the file private; give it the mode a newly created file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(temporary.Descriptor(), 0666 & ~mask);

  PosixFileSink sink(temporary.Descriptor());
  write(sink);
  if (!temporary.Close()) throw msg::WriteError();
  if (!temporary.MoveTo(path)) throw msg::FileCreate(path);
}

}  // namespace sw
