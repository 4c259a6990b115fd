#pragma once
// What the JPEG tests build their inputs with: pictures of known pixels,
// JPEG files made at test time by libjpeg itself, a small marker walker for
// crafting damaged files, and (natively) Debian's djpeg and cjpeg as the
// reference the decoded pixels and encoded bytes are held against.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "JpegFiles.h"
#include "image/jpeg/Jpeg.h"
#include "image/picture/Picture.h"

namespace sw::jpegtest {


// A folder of this test run's own (ctest gives one; otherwise the system's).
inline std::string TestFolder() {
  const char* given = std::getenv("STRETCHWELL_TEST_TMP");
  std::filesystem::path folder =
      given != nullptr && *given != '\0' ? std::filesystem::path(given) : std::filesystem::temp_directory_path();
  folder /= "jpeg";
  std::filesystem::create_directories(folder);
  return folder.string();
}

// A file name unique to the running test.
inline std::string TestPath(const std::string& name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return TestFolder() + "/" + info->test_suite_name() + "." + info->name() + "." + name;
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A picture of the given form filled with PatternColor.
inline Picture PatternPicture(int width, int height, int bitsPerPixel = 24) {
  Picture picture;
  if (bitsPerPixel == 32) {
    picture = Picture::CreateDisplayCompatible(width, height);
  } else {
    DibLayout layout;
    layout.header.biSize = 40;
    layout.header.biWidth = width;
    layout.header.biHeight = height;
    layout.header.biPlanes = 1;
    layout.header.biBitCount = static_cast<uint16_t>(bitsPerPixel);
    picture = Picture::CreateDib(layout);
  }
  std::vector<ColorValue> row(static_cast<size_t>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) row[x] = PatternColor(x, y);
    picture.WriteRow(y, row.data());
  }
  return picture;
}

// One marker segment, or the entropy-coded data after a start-of-scan.
struct Segment {
  uint8_t marker;  // 0 for entropy-coded data
  size_t offset;   // of the FF (or of the first data byte)
  size_t length;   // every byte of it, marker and length field included
};

inline std::vector<Segment> SegmentsOf(const Bytes& file) {
  std::vector<Segment> segments;
  size_t at = 0;
  while (at + 1 < file.size()) {
    const uint8_t marker = file[at + 1];
    size_t length = 2;
    if (marker != 0xD8 && marker != 0xD9 && !(marker >= 0xD0 && marker <= 0xD7) && at + 3 < file.size())
      length += (file[at + 2] << 8) | file[at + 3];
    segments.push_back({marker, at, length});
    at += length;
    if (marker == 0xDA) {  // entropy-coded data runs to the next marker that is no stuffing or restart
      const size_t start = at;
      while (at + 1 < file.size() &&
             !(file[at] == 0xFF && file[at + 1] != 0x00 && !(file[at + 1] >= 0xD0 && file[at + 1] <= 0xD7)))
        ++at;
      segments.push_back({0, start, at - start});
    }
  }
  return segments;
}

inline std::optional<Segment> FindSegment(const std::vector<Segment>& segments, uint8_t marker) {
  for (const Segment& segment : segments)
    if (segment.marker == marker) return segment;
  return std::nullopt;
}

// The pixels of a picture as PPM-style RGB triples, row 0 first.
inline Bytes RgbOf(const Picture& picture) {
  Bytes rgb;
  std::vector<ColorValue> row(static_cast<size_t>(picture.Width()));
  for (int y = 0; y < picture.Height(); ++y) {
    picture.ReadRow(y, row.data());
    for (ColorValue color : row) {
      rgb.push_back(static_cast<uint8_t>(color));
      rgb.push_back(static_cast<uint8_t>(color >> 8));
      rgb.push_back(static_cast<uint8_t>(color >> 16));
    }
  }
  return rgb;
}

inline uint64_t Fnv1a(const Bytes& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  return hash;
}

#ifndef _WIN32
// Debian's libjpeg-turbo-progs, the same library version the native build links.
struct Ppm {
  int width = 0;
  int height = 0;
  Bytes rgb;  // grey files are widened to RGB triples
};

inline Ppm ParsePnm(const Bytes& file) {
  Ppm ppm;
  if (file.size() < 2 || file[0] != 'P' || (file[1] != '5' && file[1] != '6')) return ppm;
  const bool grey = file[1] == '5';
  size_t at = 2;
  int fields[3] = {0, 0, 0};
  for (int& field : fields) {
    while (at < file.size() && (file[at] == ' ' || file[at] == '\n' || file[at] == '\r' || file[at] == '\t')) ++at;
    while (at < file.size() && file[at] >= '0' && file[at] <= '9') field = field * 10 + (file[at++] - '0');
  }
  ++at;  // the one blank after the maximum value
  ppm.width = fields[0];
  ppm.height = fields[1];
  for (; at < file.size(); ++at) {
    ppm.rgb.push_back(file[at]);
    if (grey) {
      ppm.rgb.push_back(file[at]);
      ppm.rgb.push_back(file[at]);
    }
  }
  return ppm;
}

inline void WritePpm(const std::string& path, const Picture& picture) {
  const std::string header = "P6\n" + std::to_string(picture.Width()) + " " + std::to_string(picture.Height()) + "\n255\n";
  Bytes file(header.begin(), header.end());
  const Bytes rgb = RgbOf(picture);
  file.insert(file.end(), rgb.begin(), rgb.end());
  WriteFile(path, file);
}

// The tool's exit code: 0, or 2 when the library warned (a cut-off file).
inline int RunTool(const std::string& command) {
  const int status = std::system((command + " 2>/dev/null").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// djpeg's decode of the file, widened to RGB.
inline Ppm Djpeg(const std::string& jpegPath, const std::string& options) {
  const std::string out = jpegPath + ".djpeg.pnm";
  const int status = RunTool("djpeg " + options + " -pnm -outfile '" + out + "' '" + jpegPath + "'");
  EXPECT_TRUE(status == 0 || status == 2) << "djpeg " << options << " gave " << status;
  return ParsePnm(ReadFile(out));
}

inline Bytes Cjpeg(const std::string& ppmPath, const std::string& options) {
  const std::string out = ppmPath + ".cjpeg.jpg";
  EXPECT_EQ(RunTool("cjpeg " + options + " -outfile '" + out + "' '" + ppmPath + "'"), 0) << options;
  return ReadFile(out);
}
#endif

}  // namespace sw::jpegtest
