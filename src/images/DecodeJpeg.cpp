// JPEG through libjpeg. Errors leave through the error_exit hook with a
// longjmp, so a damaged file never aborts the process.
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "images/Decoders.h"

namespace vl {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
// Warnings (recoverable damage inside the data) are not reported, with one
// exception: data that ends before the last row of blocks. The library would
// go on decoding grey rows to the size the header claims; a short file is not
// loaded. The decoder reads ahead, so a file that lacks only its end marker
// meets the end in its last row of blocks: it has every row and loads.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0 || cinfo->err->msg_code != JWRN_JPEG_EOF || !cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->total_iMCU_rows == 0 || d->input_iMCU_row + 1 < d->total_iMCU_rows) OnJpegError(cinfo);
}

// Progressive files may hold any number of scans, each a pass over the whole
// picture; a hostile file makes that endless. Real files use a dozen.
constexpr long kMaxScans = 300;
struct JpegProgress {
  jpeg_progress_mgr mgr;
  j_decompress_ptr cinfo;
};
void OnJpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_NOT_COMPILED;
    cinfo->err->error_exit(cinfo);
  }
}

// Inverted (Adobe) or plain CMYK to RGB.
void CmykRowToRgb(const uint8_t* src, uint8_t* dst, int width, bool inverted) {
  for (int x = 0; x < width; ++x, src += 4, dst += 3) {
    int c = src[0], m = src[1], y = src[2], k = src[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    dst[0] = static_cast<uint8_t>(c * k / 255);
    dst[1] = static_cast<uint8_t>(m * k / 255);
    dst[2] = static_cast<uint8_t>(y * k / 255);
  }
}

// Everything that must survive the longjmp lives outside the frame that
// calls setjmp, or is volatile.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegError err;
  JpegProgress progress;
  std::string cmykRow;
};

bool Run(JpegJob& job, std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap,
         bool headerOnly) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  cinfo.err = jpeg_std_error(&job.err.mgr);
  job.err.mgr.error_exit = OnJpegError;
  job.err.mgr.emit_message = OnJpegMessage;
  if (setjmp(job.err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxImageBytes;
  job.progress.mgr.progress_monitor = OnJpegProgress;
  cinfo.progress = &job.progress.mgr;
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 14, 0);  // only to learn the Adobe flag
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;

  params.Width = static_cast<int>(cinfo.image_width);
  params.Height = static_cast<int>(cinfo.image_height);
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
    if (cinfo.density_unit == 1) {
      params.DpiX = cinfo.X_density;
      params.DpiY = cinfo.Y_density;
    } else if (cinfo.density_unit == 2) {
      params.DpiX = static_cast<int>(cinfo.X_density * 2.54 + 0.5);
      params.DpiY = static_cast<int>(cinfo.Y_density * 2.54 + 0.5);
    }
  }
  if (!ImageSizeAllowed(cinfo.image_width, cinfo.image_height, 24)) return false;
  if (headerOnly) return true;

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  const int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
  // libjpeg delivers every row or fails (an early end fails, above).
  if (!bitmap.Allocate(w, h, TVLPixelFormat::Rgb24, false)) return false;
  if (cmyk) {
    if (cinfo.output_components != 4) return false;
    job.cmykRow.resize(static_cast<size_t>(w) * 4);
  } else if (cinfo.output_components != 3) {
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW row = cmyk ? reinterpret_cast<JSAMPROW>(job.cmykRow.data()) : bitmap.ScanLine(y);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return false;
    if (cmyk) CmykRowToRgb(row, bitmap.ScanLine(y), w, cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

bool DecodeJpeg(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly) {
  if (data.size() < 4) return false;
  JpegJob job{};
  bool ok = Run(job, data, params, bitmap, headerOnly);
  jpeg_destroy_decompress(&job.cinfo);
  alpha.Clear();
  if (!ok) bitmap.Clear();
  return ok;
}

}  // namespace vl
