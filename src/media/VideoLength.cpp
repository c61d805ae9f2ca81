// Lengths of video files, read from their headers: the AVI main header
// (frames x microseconds a frame) and the MPEG-4 movie header (duration over
// its time scale). Like the sound readers they check every offset and never
// guess from a damaged header.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "media/MediaLength.h"

namespace vl {
namespace {

bool At(std::string_view d, size_t pos, const char* sig) {
  size_t n = std::strlen(sig);
  return pos <= d.size() && d.size() - pos >= n && std::memcmp(d.data() + pos, sig, n) == 0;
}
uint64_t Get(std::string_view d, size_t p, int bytes, bool big) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    uint64_t b = static_cast<uint8_t>(d[p + (big ? i : bytes - 1 - i)]);
    v = (v << 8) | b;
  }
  return v;
}

MediaLengthResult Result(MediaFormat f, bool ok, int64_t ms, const char* error) {
  MediaLengthResult r;
  r.format = f;
  r.ok = ok;
  r.ms = ok ? ms : 0;
  if (!ok) r.error = error;
  return r;
}

// The box of `type` among the boxes in [from, to); false when absent or
// damaged. `body`/`end` bound its contents.
bool FindBox(std::string_view d, size_t from, size_t to, const char* type, size_t& body, size_t& end) {
  size_t p = from;
  while (p + 8 <= to) {
    uint64_t size = Get(d, p, 4, true);
    size_t head = 8;
    if (size == 1) {
      if (p + 16 > to) return false;
      size = Get(d, p + 8, 8, true);
      head = 16;
    } else if (size == 0) {
      size = to - p;
    }
    if (size < head || size > to - p) return false;
    if (At(d, p + 4, type)) {
      body = p + head;
      end = p + static_cast<size_t>(size);
      return true;
    }
    p += static_cast<size_t>(size);
  }
  return false;
}

}  // namespace

MediaLengthResult AviLength(std::string_view d) {
  const MediaFormat F = MediaFormat::Avi;
  if (!At(d, 0, "RIFF") || !At(d, 8, "AVI ")) return Result(F, false, 0, "not a RIFF AVI file");
  // RIFF 'AVI ' > LIST 'hdrl' > 'avih': microseconds a frame, then the
  // frame count at +16.
  size_t p = 12;
  while (p + 12 <= d.size()) {
    uint64_t size = Get(d, p + 4, 4, false);
    if (At(d, p, "LIST") && At(d, p + 8, "hdrl")) {
      size_t q = p + 12, end = p + 8 + static_cast<size_t>(std::min<uint64_t>(size, d.size() - p - 8));
      if (q + 8 <= end && At(d, q, "avih") && Get(d, q + 4, 4, false) >= 20 && q + 8 + 20 <= end) {
        uint64_t usPerFrame = Get(d, q + 8, 4, false), frames = Get(d, q + 8 + 16, 4, false);
        return Result(F, true, static_cast<int64_t>(usPerFrame * frames / 1000), nullptr);
      }
      return Result(F, false, 0, "AVI header list without its main header");
    }
    p += 8 + static_cast<size_t>(size) + (size & 1);
  }
  return Result(F, false, 0, "AVI file without a header list");
}

MediaLengthResult Mp4Length(std::string_view d) {
  const MediaFormat F = MediaFormat::Mp4;
  size_t body, end;
  if (!At(d, 4, "ftyp")) return Result(F, false, 0, "not an MPEG-4 file");
  if (!FindBox(d, 0, d.size(), "moov", body, end)) return Result(F, false, 0, "MPEG-4 file without its movie box");
  size_t mb, me;
  if (!FindBox(d, body, end, "mvhd", mb, me) || me - mb < 4) return Result(F, false, 0, "MPEG-4 movie without its header");
  int version = static_cast<uint8_t>(d[mb]);
  size_t need = version == 1 ? 4 + 8 + 8 + 4 + 8 : 4 + 4 + 4 + 4 + 4;
  if (me - mb < need) return Result(F, false, 0, "MPEG-4 movie header cut short");
  uint64_t scale = version == 1 ? Get(d, mb + 20, 4, true) : Get(d, mb + 12, 4, true);
  uint64_t duration = version == 1 ? Get(d, mb + 24, 8, true) : Get(d, mb + 16, 4, true);
  if (scale == 0) return Result(F, false, 0, "MPEG-4 movie header with a time scale of 0");
  if (duration >> 52) return Result(F, false, 0, "MPEG-4 duration out of range");
  return Result(F, true, static_cast<int64_t>(duration * 1000 / scale), nullptr);
}

}  // namespace vl
