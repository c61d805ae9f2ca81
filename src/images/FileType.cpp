// Picture file types: by extension and by content.
#include <cstring>

#include "images/Decoders.h"

namespace vl {

TIOFileType FileTypeFromExtension(std::string_view fileName) {
  size_t slash = fileName.find_last_of("\\/");
  size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return TIOFileType::Unknown;
  AnsiString ext = AnsiLower(fileName.substr(dot));
  struct Row {
    const char* ext;
    TIOFileType type;
  };
  static const Row rows[] = {
      {".tif", TIOFileType::Tiff}, {".tiff", TIOFileType::Tiff}, {".gif", TIOFileType::Gif},
      {".jpg", TIOFileType::Jpeg}, {".jpeg", TIOFileType::Jpeg}, {".jpe", TIOFileType::Jpeg},
      {".pcx", TIOFileType::Pcx},  {".bmp", TIOFileType::Bmp},   {".ico", TIOFileType::Ico},
      {".png", TIOFileType::Png},  {".wmf", TIOFileType::Wmf},   {".emf", TIOFileType::Wmf},
  };
  for (const Row& r : rows)
    if (ext == r.ext) return r.type;
  return TIOFileType::Unknown;
}

// The first bytes up to a zero byte (looking at most `limit` bytes) equal `word`.
static bool LeadingText(std::string_view d, size_t limit, std::string_view word) {
  size_t n = 0;
  while (n < limit && n < d.size() && d[n] != '\0') ++n;
  return d.substr(0, n) == word;
}

static bool LooksLikeIco(std::string_view d) {
  if (d.size() < 23) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(d.data());
  uint16_t reserved = GetU16LE(p), type = GetU16LE(p + 2), count = GetU16LE(p + 4);
  if (reserved != 0 || type != 1 || count == 0) return false;
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = 6 + size_t{i} * 16;
    if (at + 16 > d.size()) return false;
    const unsigned char* e = p + at;
    if (e[3] != 0) return false;
    if (GetU32LE(e + 8) == 0) return false;
    if (GetU32LE(e + 12) < at + 16) return false;
  }
  return true;
}

TIOFileType FileTypeFromContent(std::string_view d) {
  const size_t n = d.size();
  const auto* p = reinterpret_cast<const unsigned char*>(d.data());
  if ((n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) || (n > 12 && LeadingText(d, 5, "JFIF")))
    return TIOFileType::Jpeg;
  if (n > 13 && d.substr(0, 3) == "GIF") return TIOFileType::Gif;
  if (n > 14 && d.substr(0, 2) == "BM") return TIOFileType::Bmp;
  if ((n > 12 && LeadingText(d, 5, "TIFF")) || (n > 8 && (d.substr(0, 2) == "II" || d.substr(0, 2) == "MM")))
    return TIOFileType::Tiff;
  if (n > 8 && p[0] == 0x89 && p[1] == 'P' && p[2] == 'N' && p[3] == 'G') return TIOFileType::Png;
  if ((n > 128 && p[0] == 0x0A && p[1] <= 5) || (n > 12 && LeadingText(d, 5, "PCX2")) ||
      (n > 4 && LeadingText(d, 4, "PCX")))
    return TIOFileType::Pcx;
  if (LooksLikeIco(d)) return TIOFileType::Ico;
  if (n > 100 && GetU32LE(p) == 1 && GetU32LE(p + 40) == 0x464D4520) return TIOFileType::Emf;
  if (n > 22 && GetU32LE(p) == 0x9AC6CDD7) return TIOFileType::Wmf;
  return TIOFileType::Unknown;
}

}  // namespace vl
