#include "runtime/PackageWriter.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <limits>

#include "runtime/NativePath.h"

namespace vl {
namespace {

void PutU8(std::string& s, uint8_t v) { s.push_back(static_cast<char>(v)); }
void PutU16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutStr(std::string& s, std::string_view t) {
  // Package strings hold at most 65,535 bytes; longer texts are cut.
  size_t n = t.size() > 0xFFFF ? 0xFFFF : t.size();
  PutU16(s, static_cast<uint16_t>(n));
  s.append(t.data(), n);
}

}  // namespace

std::string ZlibCompress(std::string_view data, int level) {
  uLongf cap = compressBound(static_cast<uLong>(data.size()));
  std::string out(cap, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &cap, reinterpret_cast<const Bytef*>(data.data()),
                static_cast<uLong>(data.size()), level) != Z_OK)
    return {};
  out.resize(cap);
  return out;
}

std::string EncodeDirectory(const PackageHeader& h, const std::vector<LibRec>& records) {
  std::string d;
  PutU32(d, h.BuildStamp);
  if (h.RunModeWas3) {
    PutU8(d, 3);
    PutU32(d, h.StartPage);
  } else {
    PutU8(d, h.RunMode);
  }
  if (h.RunModeWas3 || h.RunMode != 0) {
    PutStr(d, h.DebugLibraryFolder);
    PutStr(d, h.FunctionFileFolder);
    PutStr(d, h.MediaPictureFolder);
    PutStr(d, h.ApplicationIconFile);
  }
  if (!h.ShortForm) {
    PutU8(d, h.PublicationKind);
    PutU8(d, h.SingleInstance);
    if (h.PublicationKind == 0) {
      PutU8(d, h.ChangeDisplay);
      if (h.ChangeDisplay == 1) {
        PutU32(d, h.DisplayWidth);
        PutU32(d, h.DisplayHeight);
        PutU8(d, h.DisplayBits);
      }
    }
    PutStr(d, h.SplashImage);
    if (h.PublicationKind == 1) PutStr(d, h.PreviewImage);
  }
  for (const auto& e : records) {
    PutStr(d, e.Name);
    PutU8(d, e.Type);
    PutU32(d, static_cast<uint32_t>(e.Size));
    PutU32(d, static_cast<uint32_t>(e.Offset));
    PutU32(d, static_cast<uint32_t>(e.StoredSize));
    if (e.Type == kEntryPicture) {
      PutU32(d, static_cast<uint32_t>(e.ImageWidth));
      PutU32(d, static_cast<uint32_t>(e.ImageHeight));
      PutU8(d, e.ImageAlpha ? 1 : 0);
    }
  }
  return d;
}

std::string DirectoryBlockAndTrailer(int64_t dirStart, std::string_view directory, int level) {
  std::string s;
  PutU32(s, static_cast<uint32_t>(directory.size()));
  s += ZlibCompress(directory, level);
  PutU32(s, static_cast<uint32_t>(dirStart - kDirectoryBias));
  s.append(kPackageSignature, kPackageSignatureLength);
  return s;
}

bool PackageWriter::BuildBody(int64_t base, std::string& out, AnsiString& error) const {
  out.clear();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  std::vector<LibRec> records;
  records.reserve(entries_.size());
  int64_t pos = base;
  for (const auto& in : entries_) {
    LibRec r;
    r.Name = in.name;
    r.Type = in.type;
    r.ImageWidth = in.imageWidth;
    r.ImageHeight = in.imageHeight;
    r.ImageAlpha = in.imageAlpha;
    std::string stored;
    if (in.compress && !in.data.empty()) {
      stored = ZlibCompress(in.data, compressionLevel);
      if (in.data.size() > static_cast<size_t>(kMax)) {
        error = "entry too large: " + in.name;
        return false;
      }
      r.Size = static_cast<int32_t>(in.data.size());
    } else {
      // An empty file is stored raw: Size 0 means raw, so it cannot be "compressed".
      stored = in.data;
      r.Size = 0;
    }
    if (pos > kMax || static_cast<int64_t>(stored.size()) > kMax) {
      error = "the package would pass the 2 GiB offsets of the format at " + in.name;
      return false;
    }
    r.Offset = static_cast<int32_t>(pos);
    r.StoredSize = static_cast<int32_t>(stored.size());
    out += stored;
    pos += static_cast<int64_t>(stored.size());
    records.push_back(std::move(r));
  }
  if (pos - kDirectoryBias > std::numeric_limits<uint32_t>::max()) {
    error = "the package is too large for its directory position";
    return false;
  }
  out += DirectoryBlockAndTrailer(pos, EncodeDirectory(header, records), compressionLevel);
  return true;
}

std::string PackageWriter::Build(std::string_view hostBytes) const {
  std::string body;
  AnsiString error;
  if (!BuildBody(static_cast<int64_t>(hostBytes.size()), body, error)) return {};
  std::string all(hostBytes);
  all += body;
  return all;
}

bool PackageWriter::WriteFile(const AnsiString& outPath, const AnsiString& hostPath, AnsiString& error) const {
  std::string host;
  if (!hostPath.empty()) {
    std::ifstream in(NativePath(hostPath), std::ios::binary);
    if (!in) {
      error = "cannot read the host file " + hostPath;
      return false;
    }
    host.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) {
      error = "cannot read the host file " + hostPath;
      return false;
    }
  }
  std::string body;
  if (!BuildBody(static_cast<int64_t>(host.size()), body, error)) return false;
  const std::string native = NativePath(outPath);
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot create " + outPath;
    return false;
  }
  out.write(host.data(), static_cast<std::streamsize>(host.size()));
  out.write(body.data(), static_cast<std::streamsize>(body.size()));
  out.close();
  if (!out) {
    std::remove(native.c_str());
    error = "cannot write " + outPath;
    return false;
  }
  return true;
}

}  // namespace vl
