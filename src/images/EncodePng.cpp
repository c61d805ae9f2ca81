// Writing a picture as PNG (with its alpha channel) through libpng.
#include <png.h>

#include <csetjmp>
#include <vector>

#include "images/Decoders.h"

namespace vl {

namespace {
void WriteToString(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
void FlushNothing(png_structp) {}
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

struct Job {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> row;
};

bool Run(Job& job, const QImage& rgb, const TVLBitmap* alpha, std::string& out) {
  if (setjmp(png_jmpbuf(job.png))) return false;
  const int w = rgb.width(), h = rgb.height();
  png_set_write_fn(job.png, &out, WriteToString, FlushNothing);
  png_set_IHDR(job.png, job.info, w, h, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(job.png, job.info);
  job.row.resize(size_t(w) * 4);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = rgb.constScanLine(y);
    png_bytep r = const_cast<png_bytep>(s);
    if (alpha) {
      const uint8_t* a = alpha->ScanLine(y);
      for (int x = 0; x < w; ++x) {
        job.row[4 * x] = s[3 * x];
        job.row[4 * x + 1] = s[3 * x + 1];
        job.row[4 * x + 2] = s[3 * x + 2];
        job.row[4 * x + 3] = a[x];
      }
      r = job.row.data();
    }
    png_write_row(job.png, r);
  }
  png_write_end(job.png, nullptr);
  return true;
}
}  // namespace

bool TVLImageView::SaveToStream(std::string& out, int type) const {
  if (isMeta_ && (type == 9 || type == 10)) {
    if (!meta_.data) return false;
    out.append(*meta_.data);
    return true;
  }
  if (bitmap_.IsNull()) return false;
  if (!((type >= 1 && type <= 8) || type == 11)) return false;
  QImage rgb = bitmap_.Format() == TVLPixelFormat::Rgb24 ? bitmap_.Image()
                                                         : bitmap_.Image().convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull()) return false;
  Job job;
  job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!job.png) return false;
  job.info = png_create_info_struct(job.png);
  std::string data;
  bool ok = job.info && Run(job, rgb, AlphaChannel(), data);
  png_destroy_write_struct(&job.png, &job.info);
  if (ok) out.append(data);
  return ok;
}

}  // namespace vl
