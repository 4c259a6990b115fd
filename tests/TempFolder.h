#pragma once
// A fresh folder per test for the files a test writes, removed afterwards.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace sw::test {

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("STRETCHWELL_TEST_TMP");
    std::filesystem::path root = base ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
    std::random_device seed;
    path_ = root / ("sw-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // A path in the folder as the engine takes it (UTF-8, native separators).
  std::string File(const std::string& name) const { return (path_ / std::filesystem::u8path(name)).u8string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::u8path(path)); }

}  // namespace sw::test
