// Decoding a 4,000 x 3,000 JPEG and PNG through the picture component and
// through the bare library calls, in one run; then a cached wallpaper repaint
// loop, counting decodes. Prints the ratios (our path should stay within
// 1.3x of the bare library) and the decode count of the repaints (1: only the
// first paint decodes).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "images/PictureCache.h"
#include "images/VL_ImageLib.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestOf(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return best;
}

// A picture with detail, so the encoders have real work.
QImage TestPicture(int w, int h) {
  QImage img(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = img.scanLine(y);
    for (int x = 0; x < w; ++x) {
      p[3 * x] = static_cast<uint8_t>((x * 255) / w);
      p[3 * x + 1] = static_cast<uint8_t>((y * 255) / h);
      p[3 * x + 2] = static_cast<uint8_t>(((x ^ y) & 0x3F) * 3 + ((x * 7 + y * 13) % 17));
    }
  }
  return img;
}

std::string EncodeJpeg(const QImage& img) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = img.width();
  c.image_height = img.height();
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(img.constScanLine(static_cast<int>(c.next_scanline)));
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::string out(reinterpret_cast<char*>(buf), size);
  jpeg_destroy_compress(&c);
  free(buf);
  return out;
}

// The bare libjpeg decode into a new RGB buffer (not zeroed), as any
// caller that keeps the picture needs.
size_t BareJpeg(const std::string& data, std::unique_ptr<uint8_t[]>& pixels) {
  jpeg_decompress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(data.data()), data.size());
  jpeg_read_header(&c, TRUE);
  c.out_color_space = JCS_RGB;
  c.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&c);
  const size_t stride = size_t(c.output_width) * 3;
  const size_t size = stride * c.output_height;
  pixels.reset(new uint8_t[size]);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = pixels.get() + stride * c.output_scanline;
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return size;
}

struct Mem {
  const std::string* d;
  size_t pos;
};

// The bare libpng decode into a new RGB buffer.
size_t BarePng(const std::string& data, std::unique_ptr<uint8_t[]>& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Mem m{&data, 0};
  png_set_read_fn(png, &m, [](png_structp p, png_bytep out, png_size_t n) {
    auto* mm = static_cast<Mem*>(png_get_io_ptr(p));
    memcpy(out, mm->d->data() + mm->pos, n);
    mm->pos += n;
  });
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  png_read_update_info(png, info);
  const size_t stride = png_get_rowbytes(png, info);
  pixels.reset(new uint8_t[stride * h]);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.get() + stride * y;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  (void)w;
  return stride * h;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int W = 4000, H = 3000;
  std::printf("generating a %d x %d picture...\n", W, H);
  QImage picture = TestPicture(W, H);
  const std::string jpeg = EncodeJpeg(picture);
  std::string png;
  {
    vl::TVLImageView v;
    v.Bitmap().Assign(picture);
    v.SaveToStream(png, 1);
  }
  std::printf("JPEG %zu bytes, PNG %zu bytes\n", jpeg.size(), png.size());

  std::unique_ptr<uint8_t[]> pixels;
  vl::TVLImageView view;
  // Runs alternate between the two paths so that a busy machine weighs on
  // both alike; the best run of each counts.
  double ourJpeg = 1e30, bareJpeg = 1e30, ourPng = 1e30, barePng = 1e30;
  for (int run = 0; run < 5; ++run) {
    ourJpeg = std::min(ourJpeg, BestOf(1, [&] { view.LoadFromMemory(jpeg); }));
    if (view.BadImage() || view.ImageWidth() != W) return std::puts("JPEG did not decode"), 1;
    bareJpeg = std::min(bareJpeg, BestOf(1, [&] { BareJpeg(jpeg, pixels); }));
    ourPng = std::min(ourPng, BestOf(1, [&] { view.LoadFromMemory(png); }));
    if (view.BadImage() || view.ImageWidth() != W) return std::puts("PNG did not decode"), 1;
    barePng = std::min(barePng, BestOf(1, [&] { BarePng(png, pixels); }));
  }
  std::printf("JPEG: ours %.1f ms, bare libjpeg %.1f ms, ratio %.2f (target <= 1.30)\n", ourJpeg, bareJpeg,
              ourJpeg / bareJpeg);
  std::printf("PNG:  ours %.1f ms, bare libpng %.1f ms, ratio %.2f (target <= 1.30)\n", ourPng, barePng,
              ourPng / barePng);

  // A wallpaper repainted 200 times through the cache, pinned while drawn.
  auto dir = std::filesystem::temp_directory_path() / "vl_bench_wallpaper";
  std::filesystem::create_directories(dir);
  const std::string wallpaper = (dir / "wall.jpg").string();
  std::ofstream(wallpaper, std::ios::binary).write(jpeg.data(), static_cast<std::streamsize>(jpeg.size()));
  vl::TPictureCache cache;
  QImage window(800, 600, QImage::Format_RGB32);
  const int64_t before = vl::TVLImageView::DecodeCount();
  const int repaints = 200;
  double first = 0;
  double rest = BestOf(1, [&] {
    for (int i = 0; i < repaints; ++i) {
      auto t0 = Clock::now();
      vl::TCachedPicture got = cache.GetPicture(wallpaper, true);
      if (!got) break;
      QPainter p(&window);
      got.picture->StretchDraw(p, false, 256, window.rect());
      p.end();
      cache.Unpin(got.picture);
      if (i == 0) first = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
  });
  const int64_t decodes = vl::TVLImageView::DecodeCount() - before;
  std::printf("wallpaper: %d repaints, %lld decode(s); first paint %.1f ms, the other %d %.2f ms each\n", repaints,
              static_cast<long long>(decodes), first, repaints - 1, (rest - first) / (repaints - 1));
  std::filesystem::remove_all(dir);
  return decodes == 1 ? 0 : 1;
}
