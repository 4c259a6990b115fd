#pragma once
// How the seed programs write each seed: false when the file can't be
// written whole, so that the program fails rather than fuzz short a seed.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sw::fuzz {

inline bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace sw::fuzz
