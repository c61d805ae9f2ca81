#include "runtime/Package.h"

#include <algorithm>
#include <exception>

#include <QFileInfo>
#include <QString>

#include "runtime/Global.h"
#include "runtime/PackageFile.h"

namespace vl {
namespace {

constexpr std::string_view kPublicationName = "RUNTIME.PUB";

}  // namespace

TPackage& ThePackage() {
  static TPackage package;
  return package;
}

TPackage::TPackage() = default;
TPackage::~TPackage() = default;

bool TPackage::IsOpen() const { return file_ != nullptr; }

int TPackage::OpenPackage(const AnsiString& hostPath, bool chained, AnsiString* why) {
  if (IsOpen() || !entries_.empty()) ClosePackage(false);
  AnsiString reason;
  int rc = kPackageUnusable;
  try {
    rc = Open(hostPath, chained, reason);
  } catch (const std::exception& e) {
    reason = e.what();
    rc = kPackageUnusable;
  }
  if (rc != kPackageOpen) {
    file_.reset();
    entries_.clear();
    header_ = PackageHeader{};
    hostPath_.clear();
    hostFolder_.clear();
  }
  if (why) *why = reason;
  return rc;
}

int TPackage::Open(const AnsiString& hostPath, bool chained, AnsiString& why) {
  auto file = pkg::OpenHostFile(hostPath, why);
  if (!file) return kPackageUnusable;
  const int64_t sig = pkg::FindTrailer(*file);
  if (sig < 0) {
    why = "no package signature near the end of the file";
    return kPackageUnusable;
  }
  const int64_t trailer = sig - 4;  // the DirectoryPosition word
  char word[4];
  if (trailer < 0 || !file->ReadExact(trailer, word, 4)) {
    why = "the trailer is cut short";
    return kPackageUnusable;
  }
  auto u32 = [](const char* p) {
    return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
  };
  // 32-bit arithmetic as the writer's: a small .pkg stores a "negative"
  // position that wraps back to the real one.
  const int64_t dirStart = static_cast<uint32_t>(u32(word) + static_cast<uint32_t>(kDirectoryBias));
  if (dirStart + 4 > trailer) {
    why = "the directory position lies outside the package";
    return kPackageUnusable;
  }
  if (!file->ReadExact(dirStart, word, 4)) {
    why = "cannot read the directory length";
    return kPackageUnusable;
  }
  const int64_t dirLength = u32(word);
  const int64_t packed = trailer - (dirStart + 4);
  if (dirLength == 0 || dirLength > kMaxDirectoryLength || dirLength > packed * kMaxDeflateRatio + 1024) {
    why = "implausible directory length " + std::to_string(dirLength);
    return kPackageUnusable;
  }
  std::string compressed(static_cast<size_t>(packed), '\0');
  if (!file->ReadExact(dirStart + 4, compressed.data(), packed)) {
    why = "cannot read the directory";
    return kPackageUnusable;
  }
  std::string dir;
  if (!pkg::InflateExact(compressed, dirLength, dir)) {
    why = "the directory does not inflate to its stated length";
    return kPackageUnusable;
  }
  compressed = std::string();
  std::vector<LibRec> list;
  if (!pkg::ParseDirectory(dir, chained, header_, list, why)) return kPackageUnusable;
  std::reverse(list.begin(), list.end());  // later records are found first
  entries_ = std::move(list);
  file_ = std::move(file);
  hostPath_ = hostPath;
  hostFolder_ = QStringToAnsi(QFileInfo(AnsiToQString(hostPath)).absolutePath());
  publicationLoaded_ = false;

  // Start-up behaviours tied to directory fields, in the order they are read.
  if (!header_.ApplicationIconFile.empty()) CursorsAndIcons().SetApplicationIcon(header_.ApplicationIconFile);
  PackageOpenHost& host = PackageOpening();
  if (!chained && header_.SingleInstance == 1) host.SingleInstance(header_);
  if (header_.ChangeDisplay == 1)
    displayChanged_ = host.ChangeDisplay(header_.DisplayWidth, header_.DisplayHeight, header_.DisplayBits);
  return kPackageOpen;
}

LibRec* TPackage::FindEntry(std::string_view name) {
  auto walk = [this](std::string_view n) -> LibRec* {
    for (auto& e : entries_)
      if (SameTextInvariant(e.Name, n)) return &e;
    return nullptr;
  };
  LibRec* found = walk(name);
  if (!found && name.find('/') != std::string_view::npos) {
    AnsiString back(name);
    std::replace(back.begin(), back.end(), '/', '\\');
    found = walk(back);
  }
  if (found && publicationLoaded_ && SameTextInvariant(found->Name, kPublicationName)) return nullptr;
  return found;
}

AnsiString TPackage::ResolveBareName(std::string_view name) const {
  for (const auto& e : entries_) {
    std::string_view n = e.Name;
    if (!n.empty() && n[0] == ':') {
      if (SameTextInvariant(n.substr(1), name)) return e.Name;
    } else {
      size_t bs = n.find_last_of('\\');
      std::string_view part = bs == std::string_view::npos ? n : n.substr(bs + 1);
      if (SameTextInvariant(part, name)) return e.Name;
    }
  }
  return AnsiString(name);
}

std::unique_ptr<ByteSource> TPackage::OpenEntryReader(const LibRec& entry) {
  return pkg::MakeEntryReader(file_, entry);
}

bool TPackage::CopyEntryData(const LibRec& entry, const std::function<bool(const char*, size_t)>& sink) {
  auto src = OpenEntryReader(entry);
  if (!src) return false;
  const int64_t expected = entry.DataSize();
  int64_t total = 0;
  std::string buf(64 * 1024, '\0');
  for (;;) {
    int64_t n = src->Read(buf.data(), static_cast<int64_t>(buf.size()));
    if (n < 0) return false;
    if (n == 0) break;
    total += n;
    if (total > expected) return false;
    if (!sink(buf.data(), static_cast<size_t>(n))) return false;
  }
  return total == expected;
}

int TPackage::LoadEntryToMemory(std::string_view name, std::string& out) {
  out.clear();
  LibRec* e = FindEntry(name);
  if (!e) return kLoadNoEntry;
  if (e->DataSize() > kMaxInMemoryEntry) return kLoadFailed;
  // Grow as the data arrives rather than trusting the stated size up front.
  out.reserve(static_cast<size_t>(std::min<int64_t>(e->DataSize(), 16 << 20)));
  bool ok = CopyEntryData(*e, [&out](const char* p, size_t n) {
    out.append(p, n);
    return true;
  });
  if (!ok) {
    out = std::string();
    return kLoadFailed;
  }
  return kLoadOk;
}

int TPackage::LoadEntryToComStream(std::string_view name, std::unique_ptr<MemorySource>& stream, int64_t& count) {
  stream.reset();
  count = 0;
  std::string data;
  int rc = LoadEntryToMemory(name, data);
  if (rc != kLoadOk) return rc;
  count = static_cast<int64_t>(data.size());
  stream = std::make_unique<MemorySource>(std::move(data));
  return kLoadOk;
}

int64_t TPackage::ReadEntryBytes(std::string_view name, int64_t position, char* buffer, int64_t length) {
  LibRec* e = FindEntry(name);
  if (!e) return kReadNoEntry;
  if (position < 0 || position >= e->StoredSize) return 0;
  if (length <= 0) return 0;
  if (!file_ || e->Offset < 0) return kReadError;
  int64_t n = std::min<int64_t>(length, e->StoredSize - position);
  int64_t got = file_->ReadAt(static_cast<int64_t>(e->Offset) + position, buffer, n);
  return got < 0 ? kReadError : got;
}

void TPackage::SetEmbeddedFiles(std::string_view pairs) {
  embedded_.clear();
  size_t pos = 0;
  while (pos <= pairs.size()) {
    size_t end = pairs.find_first_of("\xB6\r\n", pos);
    if (end == std::string_view::npos) end = pairs.size();
    std::string_view item = pairs.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      AnsiString key(item.substr(0, eq));
      bool dup = std::any_of(embedded_.begin(), embedded_.end(),
                             [&](const auto& kv) { return SameTextInvariant(kv.first, key); });
      if (!dup) embedded_.emplace_back(std::move(key), AnsiString(item.substr(eq + 1)));
    }
    pos = end + 1;
  }
}

AnsiString TPackage::MapEmbeddedName(std::string_view name) const {
  size_t bs = name.find_last_of('\\');
  if (!header_.TestRun() || bs == std::string_view::npos || embedded_.empty()) return AnsiString(name);
  if (!SameTextInvariant(name.substr(0, bs + 1), kEmbeddedPrefix)) return AnsiString(name);
  std::string_view file = name.substr(bs + 1);
  for (const auto& kv : embedded_)
    if (SameTextInvariant(kv.first, file)) return kv.second;
  return AnsiString(name);
}

}  // namespace vl
