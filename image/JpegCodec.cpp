#include "image/JpegCodec.h"

#include <new>
#include <utility>

#include "core/Messages.h"
#include "image/JpegManagers.h"

namespace sw::jpeg {
namespace {

// The steps below run between libjpeg calls that may leave them by longjmp,
// so they keep only plain values in their own frames; every object with a
// destructor lives in the job, which the owning frame holds, and anything
// that builds such objects is a separate function that has returned before
// the next library call.

// Runs `step` on the job; a fatal library error returns here, the library
// object is destroyed and only then the program's error is raised.
template <typename Job>
void RunLibraryStep(Job& job, void (*step)(void*)) {
  bool finished = false;
  try {
    finished = RunGuarded(job.errors, step, &job);
  } catch (const std::bad_alloc&) {
    job.Destroy();
    throw msg::OutOfMemory();
  } catch (...) {
    job.Destroy();
    throw;
  }
  if (!finished) {
    const Error error = LibraryFailure(job.errors);
    job.Destroy();
    throw error;
  }
}

struct ScanWatch {
  jpeg_progress_mgr pub;  // first member
  SourceManager* source;
};

void WatchScans(j_common_ptr cinfo) {
  auto* watch = reinterpret_cast<ScanWatch*>(cinfo->progress);
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) EndSourceEarly(*watch->source);
}

struct DecodeJob {
  DecodeJob(const uint8_t* data, size_t size, bool eightBit) : eightBitOutput(eightBit) {
    InitErrorManager(errors);
    InitSourceManager(source, data, size);
    watch.pub = jpeg_progress_mgr{};
    watch.pub.progress_monitor = WatchScans;
    watch.source = &source;
  }
  ~DecodeJob() { Destroy(); }
  DecodeJob(const DecodeJob&) = delete;
  DecodeJob& operator=(const DecodeJob&) = delete;

  void Destroy() {
    if (created) jpeg_destroy_decompress(&cinfo);
    created = false;
  }

  ErrorManager errors;
  SourceManager source;
  ScanWatch watch;
  jpeg_decompress_struct cinfo{};
  bool created = false;
  const bool eightBitOutput;
  HeaderInfo header;
  Picture picture;
  std::vector<JSAMPLE> cmykRow;
};

// Create the decompressor with the program's managers and read the header.
void StartReading(DecodeJob& job) {
  j_decompress_ptr cinfo = &job.cinfo;
  cinfo->err = &job.errors.pub;
  job.created = true;  // destroying a half-made decompressor is safe
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = kLibraryMemoryBytes;
  cinfo->src = &job.source.pub;
  cinfo->progress = &job.watch.pub;
  jpeg_read_header(cinfo, TRUE);
  job.header.width = cinfo->image_width;
  job.header.height = cinfo->image_height;
  job.header.components = cinfo->num_components;
  job.header.multipleScans = jpeg_has_multiple_scans(cinfo) != 0;
}

void ReadHeaderStep(void* context) { StartReading(*static_cast<DecodeJob*>(context)); }

// Adobe's CMYK files store every channel inverted; djpeg and the common
// viewers read all four-component files that way.
inline JSAMPLE InvertedInk(unsigned channel, unsigned black) {
  return static_cast<JSAMPLE>((channel * black + 127) / 255);  // rounded C x K / 255
}

void CmykToRgb(const JSAMPLE* cmyk, JSAMPLE& red, JSAMPLE& green, JSAMPLE& blue) {
  red = InvertedInk(cmyk[0], cmyk[3]);
  green = InvertedInk(cmyk[1], cmyk[3]);
  blue = InvertedInk(cmyk[2], cmyk[3]);
}

PaletteEntry PaletteColor(const jpeg_decompress_struct& cinfo, int index) {
  PaletteEntry entry;
  JSAMPARRAY map = cinfo.colormap;
  switch (cinfo.out_color_components) {
    case 1:
      entry.rgbRed = entry.rgbGreen = entry.rgbBlue = map[0][index];
      break;
    case 4: {
      const JSAMPLE cmyk[4] = {map[0][index], map[1][index], map[2][index], map[3][index]};
      CmykToRgb(cmyk, entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
      break;
    }
    default:
      entry.rgbRed = map[0][index];
      entry.rgbGreen = map[1][index];
      entry.rgbBlue = map[2][index];
      break;
  }
  return entry;
}

// The picture the rows go into, made once the library knows its output.
Picture NewDecodedPicture(const jpeg_decompress_struct& cinfo, bool paletted) {
  DibLayout layout;
  layout.header.biSize = 40;
  layout.header.biWidth = static_cast<int32_t>(cinfo.output_width);
  layout.header.biHeight = static_cast<int32_t>(cinfo.output_height);  // bottom-up, as Windows keeps DIBs
  layout.header.biPlanes = 1;
  layout.header.biBitCount = paletted ? 8 : 24;
  layout.header.biCompression = kBiRgb;
  if (paletted) {
    for (int i = 0; i < cinfo.actual_number_of_colors; ++i) layout.colorTable.push_back(PaletteColor(cinfo, i));
    layout.header.biClrUsed = static_cast<uint32_t>(layout.colorTable.size());
  }
  return Picture::CreateDib(layout);
}

// The library gives red, green, blue; a DIB row holds blue, green, red.
void RgbToDibOrder(JSAMPLE* row, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, row += 3) std::swap(row[0], row[2]);
}

void CmykToDibOrder(const JSAMPLE* cmyk, JSAMPLE* row, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, row += 3) CmykToRgb(cmyk, row[2], row[1], row[0]);
}

void DecodeStep(void* context) {
  DecodeJob& job = *static_cast<DecodeJob*>(context);
  j_decompress_ptr cinfo = &job.cinfo;
  StartReading(job);
  // The library could decode arithmetic coding, but the program refuses it.
  if (cinfo->arith_code) ERREXIT(cinfo, JERR_ARITH_NOTIMPL);
  const J_COLOR_SPACE space = cinfo->out_color_space;
  // Two components, or five and more, have no meaning as a picture.
  if (space != JCS_GRAYSCALE && space != JCS_RGB && space != JCS_CMYK) ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);

  cinfo->scale_num = 1;
  cinfo->scale_denom = 1;
  cinfo->do_block_smoothing = TRUE;
  cinfo->dct_method = JDCT_FLOAT;
  const bool paletted = job.eightBitOutput || space == JCS_GRAYSCALE;
  if (paletted) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = kQuantizedColors;
  }
  // At scale 1/1 the output is the file's own size: refuse a picture that
  // could never be made before the library allocates anything for it.
  if (PixelStoreBytes(cinfo->image_width, cinfo->image_height, paletted ? 8 : 24) == 0) throw msg::Resource();

  jpeg_start_decompress(cinfo);
  job.picture = NewDecodedPicture(*cinfo, paletted);
  const bool cmyk = !paletted && space == JCS_CMYK;
  if (cmyk) job.cmykRow.resize(static_cast<size_t>(cinfo->output_width) * 4);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPLE* row = job.picture.MutableRow(static_cast<int32_t>(cinfo->output_scanline));
    JSAMPROW target = cmyk ? job.cmykRow.data() : row;
    if (jpeg_read_scanlines(cinfo, &target, 1) != 1) ERREXIT(cinfo, JERR_CANT_SUSPEND);
    if (cmyk) {
      CmykToDibOrder(target, row, cinfo->output_width);
    } else if (!paletted) {
      RgbToDibOrder(row, cinfo->output_width);
    }
  }
  jpeg_finish_decompress(cinfo);
}

struct EncodeJob {
  EncodeJob(const Picture& source, bool progression) : picture(source), progressive(progression) {
    InitErrorManager(errors);
    InitDestinationManager(destination, bytes, errors);
  }
  ~EncodeJob() { Destroy(); }
  EncodeJob(const EncodeJob&) = delete;
  EncodeJob& operator=(const EncodeJob&) = delete;

  void Destroy() {
    if (created) jpeg_destroy_compress(&cinfo);
    created = false;
  }

  ErrorManager errors;
  DestinationManager destination;
  jpeg_compress_struct cinfo{};
  bool created = false;
  const Picture& picture;
  const bool progressive;
  std::vector<ColorValue> colors;
  std::vector<JSAMPLE> rgb;
  std::vector<uint8_t> bytes;
};

void PrepareRowBuffers(EncodeJob& job, size_t width) {
  job.colors.resize(width);
  job.rgb.resize(width * 3);
}

void PackRgb(const ColorValue* colors, JSAMPLE* rgb, size_t width) {
  for (size_t x = 0; x < width; ++x, rgb += 3) {
    rgb[0] = static_cast<JSAMPLE>(colors[x] & 0xFF);
    rgb[1] = static_cast<JSAMPLE>((colors[x] >> 8) & 0xFF);
    rgb[2] = static_cast<JSAMPLE>((colors[x] >> 16) & 0xFF);
  }
}

void EncodeStep(void* context) {
  EncodeJob& job = *static_cast<EncodeJob*>(context);
  j_compress_ptr cinfo = &job.cinfo;
  cinfo->err = &job.errors.pub;
  job.created = true;
  jpeg_create_compress(cinfo);
  cinfo->mem->max_memory_to_use = kLibraryMemoryBytes;
  cinfo->dest = &job.destination.pub;

  cinfo->image_width = static_cast<JDIMENSION>(job.picture.Width());
  cinfo->image_height = static_cast<JDIMENSION>(job.picture.Height());
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  cinfo->dct_method = JDCT_FLOAT;
  jpeg_set_quality(cinfo, 90, TRUE);
  if (job.progressive) jpeg_simple_progression(cinfo);
  // Raises the too-big error for a side above 65500 before any row exists.
  jpeg_start_compress(cinfo, TRUE);

  const size_t width = cinfo->image_width;
  PrepareRowBuffers(job, width);
  while (cinfo->next_scanline < cinfo->image_height) {
    job.picture.ReadRow(static_cast<int32_t>(cinfo->next_scanline), job.colors.data());
    PackRgb(job.colors.data(), job.rgb.data(), width);
    JSAMPROW row = job.rgb.data();
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
}

}  // namespace

HeaderInfo ReadHeader(const uint8_t* data, size_t size) {
  DecodeJob job(data, size, false);
  RunLibraryStep(job, ReadHeaderStep);
  job.Destroy();
  return job.header;
}

Picture Decode(const uint8_t* data, size_t size, bool eightBitOutput) {
  DecodeJob job(data, size, eightBitOutput);
  RunLibraryStep(job, DecodeStep);
  job.Destroy();
  return std::move(job.picture);
}

std::vector<uint8_t> Encode(const Picture* picture, bool progressive) {
  if (picture == nullptr || picture->IsEmpty()) return {};
  EncodeJob job(*picture, progressive);
  RunLibraryStep(job, EncodeStep);
  job.Destroy();
  return std::move(job.bytes);
}

}  // namespace sw::jpeg
