#pragma once
// Internals of the package reader shared by its source files: the open host
// file, the trailer search, the directory decoder and the entry readers.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Package.h"

namespace vl {

// The host file, opened read-only. Reads are positional (pread), so readers
// never disturb each other's position.
struct TPackage::HostFile {
  int fd = -1;
  int64_t size = 0;  // size when opened; reads beyond it come back short
  ~HostFile();
  // Reads up to n bytes at `pos`; the count read, or -1 on an error.
  int64_t ReadAt(int64_t pos, char* buf, int64_t n) const;
  // Exactly n bytes or false.
  bool ReadExact(int64_t pos, char* buf, int64_t n) const;
};

namespace pkg {

std::shared_ptr<TPackage::HostFile> OpenHostFile(const AnsiString& path, AnsiString& why);

// Offset of the 7 signature bytes within the last part of the file, or -1.
int64_t FindTrailer(const TPackage::HostFile& file);

// Inflates one zlib stream from `data` to exactly `expected` bytes.
bool InflateExact(std::string_view data, int64_t expected, std::string& out);

// Decodes the inflated directory. Entries come back in directory order.
bool ParseDirectory(std::string_view dir, bool shortForm, PackageHeader& header,
                    std::vector<LibRec>& entries, AnsiString& why);

// Whether an entry's stored range and claimed size are plausible for a file
// of `fileSize` bytes (offsets inside the file, Size within the caps).
bool EntryReadable(const LibRec& entry, int64_t fileSize);

std::unique_ptr<ByteSource> MakeEntryReader(std::shared_ptr<TPackage::HostFile> file, const LibRec& entry);

}  // namespace pkg
}  // namespace vl
