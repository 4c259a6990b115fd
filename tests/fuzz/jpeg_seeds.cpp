// Writes the JPEG fuzz target's seed corpus into the folder given as argv[1]:
// small valid files of every kind the decoder meets, made with libjpeg.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

struct Recipe {
  const char* name;
  int width;
  int height;
  int components;
  J_COLOR_SPACE inSpace;
  J_COLOR_SPACE fileSpace;  // JCS_UNKNOWN: the library's default
  bool progressive;
  bool arithmetic;
  int restartRows;
  bool separateScans;
};

std::vector<unsigned char> Make(const Recipe& recipe) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
  cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
  cinfo.input_components = recipe.components;
  cinfo.in_color_space = recipe.inSpace;
  jpeg_set_defaults(&cinfo);
  if (recipe.fileSpace != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, recipe.fileSpace);
  jpeg_set_quality(&cinfo, 75, TRUE);
  if (recipe.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = recipe.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = recipe.restartRows;
  std::vector<jpeg_scan_info> scans(static_cast<size_t>(recipe.components));
  if (recipe.separateScans) {
    for (int c = 0; c < recipe.components; ++c) scans[c] = jpeg_scan_info{1, {c, 0, 0, 0}, 0, 63, 0, 0};
    cinfo.scan_info = scans.data();
    cinfo.num_scans = recipe.components;
  }
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(recipe.width) * recipe.components);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = static_cast<JSAMPLE>((i * 37 + cinfo.next_scanline * 11 + (i / 5) * 70) & 0xFF);
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&cinfo, &pointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<unsigned char> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

bool Write(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const Recipe recipes[] = {
      {"colour", 33, 17, 3, JCS_RGB, JCS_UNKNOWN, false, false, 0, false},
      {"colour-444", 16, 16, 3, JCS_RGB, JCS_RGB, false, false, 0, false},
      {"progressive", 33, 17, 3, JCS_RGB, JCS_UNKNOWN, true, false, 0, false},
      {"grey", 20, 9, 1, JCS_GRAYSCALE, JCS_UNKNOWN, false, false, 0, false},
      {"grey-progressive", 20, 9, 1, JCS_GRAYSCALE, JCS_UNKNOWN, true, false, 0, false},
      {"cmyk", 16, 8, 4, JCS_CMYK, JCS_CMYK, false, false, 0, false},
      {"ycck", 16, 8, 4, JCS_CMYK, JCS_YCCK, true, false, 0, false},
      {"arithmetic", 16, 16, 3, JCS_RGB, JCS_UNKNOWN, false, true, 0, false},
      {"arithmetic-progressive", 16, 16, 3, JCS_RGB, JCS_UNKNOWN, true, true, 0, false},
      {"restarts", 40, 24, 3, JCS_RGB, JCS_UNKNOWN, false, false, 1, false},
      {"separate-scans", 24, 16, 3, JCS_RGB, JCS_UNKNOWN, false, false, 0, true},
      {"two-components", 8, 8, 2, JCS_UNKNOWN, JCS_UNKNOWN, false, false, 0, false},
  };
  const std::string folder = argv[1];
  for (const Recipe& recipe : recipes) {
    const std::vector<unsigned char> bytes = Make(recipe);
    if (!Write(folder + "/seed-" + recipe.name + ".jpg", bytes)) return 1;
    if (recipe.progressive && !recipe.arithmetic) {
      const std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + bytes.size() * 2 / 3);
      if (!Write(folder + "/seed-" + recipe.name + "-cut.jpg", cut)) return 1;
    }
  }
  return Write(folder + "/seed-soi-only.jpg", {0xFF, 0xD8}) ? 0 : 1;
}
