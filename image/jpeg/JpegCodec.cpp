#include "image/jpeg/JpegCodec.h"

#include <new>
#include <stdexcept>
#include <utility>

#include "core/Messages.h"
#include "image/jpeg/JpegManagers.h"

namespace sw::jpeg {

// The steps below run between libjpeg calls that may leave them by longjmp,
// so they keep only plain values in their own frames; every object with a
// destructor lives in the job, which the owning frame holds, and anything
// that builds such objects runs after the step has returned.

namespace {

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
    const std::exception_ptr managerFailure = job.errors.managerFailure;
    const int code = job.errors.pub.msg_code;
    job.Destroy();
    RaiseLibraryFailure(managerFailure, code);
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

}  // namespace

struct DecodeJob {
  DecodeJob(ByteSource& bytes, uint64_t size, bool eightBit) : eightBitOutput(eightBit) {
    InitErrorManager(errors);
    InitSourceManager(source, bytes, size, errors);
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
  bool paletted = false;
  bool cmyk = false;  // four samples a pixel from the library, three in the picture
  bool dibOrder = false;  // the library gives blue, green, red itself
  std::vector<JSAMPLE> cmykRow;
  JSAMPROW row = nullptr;  // where the next row goes
  JDIMENSION rowsToPass = 0;
};

struct EncodeJob {
  EncodeJob(ByteSink& sink, int32_t width, int32_t height, bool progression)
      : imageWidth(width), imageHeight(height), progressive(progression) {
    InitErrorManager(errors);
    InitDestinationManager(destination, sink, errors);
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
  const int32_t imageWidth;
  const int32_t imageHeight;
  const bool progressive;
  JSAMPROW row = nullptr;  // the next row to hand over
  std::vector<JSAMPLE> rgbRow;  // where the library can't take blue, green, red, unused itself
};

namespace {

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
  job.header.read = true;
  job.header.width = cinfo->image_width;
  job.header.height = cinfo->image_height;
  job.header.components = cinfo->num_components;
  job.header.multipleScans = jpeg_has_multiple_scans(cinfo) != 0;
}

void ReadHeaderStep(void* context) { StartReading(*static_cast<DecodeJob*>(context)); }

void StartDecodeStep(void* context) {
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
  job.paletted = job.eightBitOutput || space == JCS_GRAYSCALE;
  if (job.paletted) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = kQuantizedColors;
  }
  job.cmyk = !job.paletted && space == JCS_CMYK;
#ifdef JCS_EXTENSIONS
  // The same samples in the DIB's order, straight from the library's own
  // colour conversion, rather than swapped afterwards one pixel at a time.
  if (!job.paletted && space == JCS_RGB) {
    cinfo->out_color_space = JCS_EXT_BGR;
    job.dibOrder = true;
  }
#endif
  // At scale 1/1 the output is the file's own size: refuse a picture that
  // could never be made before the library allocates anything for it.
  if (PixelStoreBytes(cinfo->image_width, cinfo->image_height, job.paletted ? 8 : 24) == 0) throw msg::Resource();
  jpeg_start_decompress(cinfo);
}

void ReadRowStep(void* context) {
  DecodeJob& job = *static_cast<DecodeJob*>(context);
  if (jpeg_read_scanlines(&job.cinfo, &job.row, 1) != 1) ERREXIT(&job.cinfo, JERR_CANT_SUSPEND);
}

#if LIBJPEG_TURBO_VERSION_NUMBER >= 2001000
void PassOverStep(void* context) {
  DecodeJob& job = *static_cast<DecodeJob*>(context);
  jpeg_skip_scanlines(&job.cinfo, job.rowsToPass);
}
#endif

void FinishDecodeStep(void* context) { jpeg_finish_decompress(&static_cast<DecodeJob*>(context)->cinfo); }

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
Picture NewDecodedPicture(const RowDecoder& decoder) {
  DibLayout layout;
  layout.header.biSize = 40;
  layout.header.biWidth = decoder.Width();
  layout.header.biHeight = decoder.Height();  // bottom-up, as Windows keeps DIBs
  layout.header.biPlanes = 1;
  layout.header.biBitCount = decoder.Paletted() ? 8 : 24;
  layout.header.biCompression = kBiRgb;
  if (decoder.Paletted()) {
    layout.colorTable = decoder.Palette();
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

void StartEncodeStep(void* context) {
  EncodeJob& job = *static_cast<EncodeJob*>(context);
  j_compress_ptr cinfo = &job.cinfo;
  cinfo->err = &job.errors.pub;
  job.created = true;
  jpeg_create_compress(cinfo);
  cinfo->mem->max_memory_to_use = kLibraryMemoryBytes;
  cinfo->dest = &job.destination.pub;

  cinfo->image_width = static_cast<JDIMENSION>(job.imageWidth);
  cinfo->image_height = static_cast<JDIMENSION>(job.imageHeight);
#ifdef JCS_EXTENSIONS
  // The library's own colour conversion reads the stored order, with the
  // arithmetic it uses for red, green, blue.
  cinfo->input_components = 4;
  cinfo->in_color_space = JCS_EXT_BGRX;
#else
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
#endif
  jpeg_set_defaults(cinfo);
  cinfo->dct_method = JDCT_FLOAT;
  jpeg_set_quality(cinfo, 90, TRUE);
  if (job.progressive) jpeg_simple_progression(cinfo);
  // Raises the too-big error for a side above 65500 before any row exists.
  jpeg_start_compress(cinfo, TRUE);
}

void WriteRowStep(void* context) {
  EncodeJob& job = *static_cast<EncodeJob*>(context);
  jpeg_write_scanlines(&job.cinfo, &job.row, 1);
}

void FinishEncodeStep(void* context) { jpeg_finish_compress(&static_cast<EncodeJob*>(context)->cinfo); }

}  // namespace

RowDecoder::RowDecoder(ByteSource& source, uint64_t size, bool eightBitOutput)
    : job_(std::make_unique<DecodeJob>(source, size, eightBitOutput)) {}

RowDecoder::~RowDecoder() = default;

void RowDecoder::Start() {
  RunLibraryStep(*job_, StartDecodeStep);
  try {
    if (job_->cmyk) job_->cmykRow.resize(static_cast<size_t>(job_->cinfo.output_width) * 4);
  } catch (const std::bad_alloc&) {
    throw msg::OutOfMemory();
  }
}

const HeaderInfo& RowDecoder::Header() const { return job_->header; }
int32_t RowDecoder::Width() const { return static_cast<int32_t>(job_->cinfo.output_width); }
int32_t RowDecoder::Height() const { return static_cast<int32_t>(job_->cinfo.output_height); }
bool RowDecoder::Paletted() const { return job_->paletted; }

std::vector<PaletteEntry> RowDecoder::Palette() const {
  std::vector<PaletteEntry> palette;
  if (!job_->paletted) return palette;
  for (int i = 0; i < job_->cinfo.actual_number_of_colors; ++i) palette.push_back(PaletteColor(job_->cinfo, i));
  return palette;
}

void RowDecoder::ReadRow(uint8_t* row) {
  DecodeJob& job = *job_;
  if (!job.created) throw std::logic_error("no decode under way");
  job.row = job.cmyk ? job.cmykRow.data() : row;
  RunLibraryStep(job, ReadRowStep);
  const JDIMENSION width = job.cinfo.output_width;
  if (job.cmyk) {
    CmykToDibOrder(job.cmykRow.data(), row, width);
  } else if (!job.paletted && !job.dibOrder) {
    RgbToDibOrder(row, width);
  }
}

bool RowDecoder::PassesOver() const {
#if LIBJPEG_TURBO_VERSION_NUMBER >= 2001000
  // Quantized rows depend on those above them (the dither's carried error,
  // the second pass's colour map), and every scan of a file of several was
  // decoded at the start anyway.
  return job_->created && !job_->paletted && !job_->header.multipleScans;
#else
  return false;
#endif
}

void RowDecoder::PassOver(int32_t rows) {
  if (!PassesOver()) throw std::logic_error("no decode that passes over rows");
#if LIBJPEG_TURBO_VERSION_NUMBER >= 2001000
  job_->rowsToPass = static_cast<JDIMENSION>(rows);
  RunLibraryStep(*job_, PassOverStep);
#endif
}

void RowDecoder::Finish() {
  if (!job_->created) throw std::logic_error("no decode under way");
  RunLibraryStep(*job_, FinishDecodeStep);
  job_->Destroy();
}

RowEncoder::RowEncoder(ByteSink& sink) : sink_(sink) {}

RowEncoder::~RowEncoder() = default;

void RowEncoder::Start(int32_t width, int32_t height, bool progressive) {
  if (width == 0 || height == 0) return;
  job_ = std::make_unique<EncodeJob>(sink_, width, height, progressive);
#ifndef JCS_EXTENSIONS
  try {
    job_->rgbRow.resize(3 * static_cast<size_t>(width));
  } catch (const std::bad_alloc&) {
    throw msg::OutOfMemory();
  }
#endif
  RunLibraryStep(*job_, StartEncodeStep);
}

void RowEncoder::WriteRow(const uint8_t* bgrx) {
#ifdef JCS_EXTENSIONS
  job_->row = const_cast<JSAMPROW>(bgrx);  // libjpeg only reads the rows it is given
#else
  JSAMPLE* rgb = job_->rgbRow.data();
  for (int32_t x = 0; x < job_->imageWidth; ++x, bgrx += 4, rgb += 3) {
    rgb[0] = bgrx[2];
    rgb[1] = bgrx[1];
    rgb[2] = bgrx[0];
  }
  job_->row = job_->rgbRow.data();
#endif
  RunLibraryStep(*job_, WriteRowStep);
}

void RowEncoder::Finish() {
  if (!job_) return;
  RunLibraryStep(*job_, FinishEncodeStep);
  job_.reset();
}

void PackBgrx(const ColorValue* colors, uint8_t* bgrx, size_t width) {
  for (size_t x = 0; x < width; ++x, bgrx += 4) {
    bgrx[0] = static_cast<JSAMPLE>((colors[x] >> 16) & 0xFF);
    bgrx[1] = static_cast<JSAMPLE>((colors[x] >> 8) & 0xFF);
    bgrx[2] = static_cast<JSAMPLE>(colors[x] & 0xFF);
    bgrx[3] = 0;
  }
}

HeaderInfo ReadHeader(const uint8_t* data, size_t size) {
  MemorySource source(data, data == nullptr ? 0 : size);
  DecodeJob job(source, source.Size(), false);
  RunLibraryStep(job, ReadHeaderStep);
  job.Destroy();
  return job.header;
}

Picture Decode(const uint8_t* data, size_t size, bool eightBitOutput) {
  MemorySource source(data, data == nullptr ? 0 : size);
  RowDecoder decoder(source, source.Size(), eightBitOutput);
  decoder.Start();
  Picture picture = NewDecodedPicture(decoder);
  for (int32_t y = 0; y < decoder.Height(); ++y) decoder.ReadRow(picture.MutableRow(y));
  decoder.Finish();
  return picture;
}

std::vector<uint8_t> Encode(const Picture* picture, bool progressive) {
  if (picture == nullptr || picture->IsEmpty()) return {};
  MemorySink sink;
  RowEncoder encoder(sink);
  encoder.Start(picture->Width(), picture->Height(), progressive);
  const size_t width = static_cast<size_t>(picture->Width());
  std::vector<ColorValue> colors;
  std::vector<uint8_t> bgrx;
  try {
    colors.resize(width);
    bgrx.resize(width * 4);
  } catch (const std::bad_alloc&) {
    throw msg::OutOfMemory();
  }
  for (int32_t y = 0; y < picture->Height(); ++y) {
    picture->ReadRow(y, colors.data());
    PackBgrx(colors.data(), bgrx.data(), width);
    encoder.WriteRow(bgrx.data());
  }
  encoder.Finish();
  return sink.TakeBytes();
}

}  // namespace sw::jpeg
