#pragma once
// Writes packages: the entry data, the compressed directory and the trailer,
// after optional host bytes (an executable the package is appended to). All
// offsets are computed for the final position in the file. Used by vlpack,
// the tests, the fuzz seeds and the benchmarks.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Package.h"

namespace vl {

struct PackageEntryInput {
  AnsiString name;
  uint8_t type = 0;
  std::string data;
  bool compress = true;  // zlib stream (Size > 0) or raw (Size 0)
  int32_t imageWidth = 0;  // written for pictures (type 3) only
  int32_t imageHeight = 0;
  bool imageAlpha = false;
};

class PackageWriter {
 public:
  // The directory header. ShortForm writes the form of a .pkg opened by a
  // chained load (no kind, single-instance, display or splash fields);
  // RunModeWas3 writes RunMode 3 followed by StartPage.
  PackageHeader header;
  int compressionLevel = 9;

  void AddEntry(PackageEntryInput entry) { entries_.push_back(std::move(entry)); }
  const std::vector<PackageEntryInput>& Entries() const { return entries_; }

  // The package bytes for a file whose first `base` bytes are host bytes.
  // False (with `error`) when an offset or size does not fit the format.
  bool BuildBody(int64_t base, std::string& out, AnsiString& error) const;
  // Host bytes followed by the package, all in memory.
  std::string Build(std::string_view hostBytes = {}) const;
  // Writes `outPath`: a copy of `hostPath` (when not empty) followed by the
  // package. A failed write leaves no output file behind.
  bool WriteFile(const AnsiString& outPath, const AnsiString& hostPath, AnsiString& error) const;

 private:
  std::vector<PackageEntryInput> entries_;
};

// Building blocks, also for tests that need damaged packages.
std::string ZlibCompress(std::string_view data, int level = 9);
// The inflated directory for `records` (given in directory order).
std::string EncodeDirectory(const PackageHeader& header, const std::vector<LibRec>& records);
// The directory block and trailer for a directory block starting at file
// offset `dirStart`: u32 length, zlib stream, u32 DirectoryPosition, signature.
std::string DirectoryBlockAndTrailer(int64_t dirStart, std::string_view directory, int level = 9);

}  // namespace vl
