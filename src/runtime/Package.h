#pragma once
// The package: a block of file data appended to a host file (the player's own
// executable, a Windows publication .exe or a .pkg file), followed by a
// zlib-compressed directory and an 11-byte trailer. This unit finds it, reads
// its directory, looks entries up by name, copies their data into memory or
// onto disk, installs embedded fonts, prepares embedded plug-ins and removes
// what it extracted when the player closes.
//
// The package is untrusted input: every offset and length is checked against
// the file, the directory and every entry inflate under a cap, and extraction
// never writes outside the extraction folder.
//
// Paths handed in and out are 8-bit ANSI text like every other text of the
// player; they are turned into the file system's encoding only where a file is
// opened (NativePath in runtime/NativePath.h).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Host.h"
#include "runtime/Stream.h"

namespace vl {

// ---------------------------------------------------------------------------
// Layout constants.

inline constexpr char kPackageSignature[] = "#n%B&e)";  // 7 bytes, no terminator stored
inline constexpr int kPackageSignatureLength = 7;
// DirectoryPosition holds the file offset of the DirectoryLength word minus this.
inline constexpr int64_t kDirectoryBias = 213;
// How far from the end of the file the trailer is looked for.
inline constexpr int64_t kTrailerSearchWindow = 10000;

// Limits against damaged or hostile packages.
// The inflated directory may not be larger than this (a real one of 5,000
// entries is well under a megabyte).
inline constexpr int64_t kMaxDirectoryLength = 64ll << 20;
// No entry may inflate to more than this, whatever its Size field claims.
inline constexpr int64_t kMaxInflatedEntry = 1ll << 30;
// Entries loaded into memory (pictures, texts, streams) are capped lower.
inline constexpr int64_t kMaxInMemoryEntry = 256ll << 20;
// Deflate cannot expand beyond about 1032:1; a Size above this ratio of the
// stored bytes cannot be true and is refused before anything is inflated.
inline constexpr int64_t kMaxDeflateRatio = 1032;

// The prefix of names from the publication's embedded-file list.
inline constexpr char kEmbeddedPrefix[] = "embedded:\\\\\\";  // embedded:\\\ (3 backslashes)

// Entry types the player acts on.
enum PackageEntryType : uint8_t {
  kEntryPublication = 1,
  kEntryRichText = 2,
  kEntryPicture = 3,
  kEntrySound = 4,
  kEntryFont = 6,
  kEntryPlugIn = 10,
  kEntryStartupFile = 11,
  kEntryPlugIn2 = 16,
};

// ExtractOp bits this unit reads (the others choose the extraction folder).
inline constexpr int kExtractOpPublicationFolder = 0x01;
inline constexpr int kExtractOpWindowsFolder = 0x02;
inline constexpr int kExtractOpTempFolder = 0x04;
inline constexpr int kExtractOpCustomFolder = 0x08;
inline constexpr int kExtractOpHidden = 0x40;
inline constexpr int kExtractOpDeleteAtClose = 0x80;
inline constexpr int kDefaultExtractOp = 132;

// ---------------------------------------------------------------------------
// The directory in memory.

struct PackageHeader {
  uint32_t BuildStamp = 0;
  // 0 normal run, 1 test of one page, 2 test run; a stored 3 reads as 2 with
  // RunModeWas3 set and a StartPage.
  uint8_t RunMode = 0;
  bool RunModeWas3 = false;
  uint32_t StartPage = 1;
  // The four test strings, present only when RunMode is not 0.
  AnsiString DebugLibraryFolder;   // where the debugger library is loaded from
  AnsiString FunctionFileFolder;   // where relative function-file names are looked up
  AnsiString MediaPictureFolder;   // tool-bar pictures of media-player and browser objects
  AnsiString ApplicationIconFile;  // first small icon becomes the application icon
  // 0 window, 1 screen saver, 2 tray application; 3 for a chained .pkg read
  // in the short form (which stores neither this nor the fields below).
  uint8_t PublicationKind = 0;
  bool ShortForm = false;
  uint8_t SingleInstance = 0;  // 1 = only one copy may run
  uint8_t ChangeDisplay = 0;   // 1 = switch the display to the mode below
  uint32_t DisplayWidth = 0;
  uint32_t DisplayHeight = 0;
  uint8_t DisplayBits = 0;
  AnsiString SplashImage;
  AnsiString PreviewImage;  // only for screen savers (PublicationKind 1)

  bool TestRun() const { return RunMode != 0; }
};

struct LibRec {
  AnsiString Name;
  uint8_t Type = 0;
  int32_t Size = 0;  // inflated length; 0 or less = stored raw
  int32_t Offset = 0;
  int32_t StoredSize = 0;
  int32_t ImageWidth = 0;  // pictures (Type 3) only
  int32_t ImageHeight = 0;
  bool ImageAlpha = false;
  bool Extracted = false;     // this run wrote it to disk (removed at close)
  AnsiString ExtractedPath;   // where it was written (for DeleteExtractedCopy / close)

  bool Compressed() const { return Size > 0; }
  // Bytes the entry delivers when read.
  int64_t DataSize() const { return Size > 0 ? Size : (StoredSize > 0 ? StoredSize : 0); }
};

// The player's side of fonts, plug-ins, cursors, icons and the display
// switch is reached through runtime/Host.h (Fonts(), PlugIns(),
// CursorsAndIcons(), PackageOpening()).

// ---------------------------------------------------------------------------
// Result codes.

inline constexpr int kPackageOpen = 0;
inline constexpr int kPackageUnusable = 100;

inline constexpr int kLoadOk = 0;
inline constexpr int kLoadNoEntry = 1;
inline constexpr int kLoadFailed = 2;

inline constexpr int kReadNoEntry = -2;
inline constexpr int kReadError = -100;

inline constexpr int kExtractIncomplete = 0;
inline constexpr int kExtractWritten = 1;
inline constexpr int kExtractExisting = 2;  // also: a disk file is used (ResolveFile)
inline constexpr int kExtractWriteError = 100;

// ---------------------------------------------------------------------------

class TPackage {
 public:
  TPackage();
  ~TPackage();
  TPackage(const TPackage&) = delete;
  TPackage& operator=(const TPackage&) = delete;

  // Opens the package at the end of `hostPath`. `chained` reads the short
  // directory form of a .pkg opened by a chained load. 0 = open, 100 = no
  // usable package (any package left open before is closed first, without
  // deleting its extracted files). `why`, when given, says what was wrong.
  int OpenPackage(const AnsiString& hostPath, bool chained = false, AnsiString* why = nullptr);
  bool IsOpen() const;
  const PackageHeader& Header() const { return header_; }
  // Entries in lookup order (the reverse of directory order).
  const std::vector<LibRec>& Entries() const { return entries_; }
  std::vector<LibRec>& Entries() { return entries_; }
  const AnsiString& HostPath() const { return hostPath_; }
  // Folder of the host file, without a trailing separator.
  const AnsiString& HostFolder() const { return hostFolder_; }
  void SetHostFolder(const AnsiString& folder) { hostFolder_ = folder; }

  // Once set, RUNTIME.PUB can no longer be found.
  bool PublicationLoaded() const { return publicationLoaded_; }
  void SetPublicationLoaded(bool loaded) { publicationLoaded_ = loaded; }

  // Extraction settings (chosen at start-up before any extraction).
  const AnsiString& ExtractionFolder() const { return extractFolder_; }
  void SetExtractionFolder(const AnsiString& folder) { extractFolder_ = folder; }
  int ExtractOp() const { return extractOp_; }
  void SetExtractOp(int op) { extractOp_ = op; }

  // --- lookups
  LibRec* FindEntry(std::string_view name);
  AnsiString ResolveBareName(std::string_view name) const;

  // --- reading entries
  // Copies the entry's data (inflated when compressed) into `sink`, which is
  // called with successive chunks and returns false to stop. True when exactly
  // the expected number of bytes was delivered.
  bool CopyEntryData(const LibRec& entry, const std::function<bool(const char*, size_t)>& sink);
  // 0 and the whole data; 1 no such entry; 2 the data could not be read
  // (out is then empty). Capped at kMaxInMemoryEntry.
  int LoadEntryToMemory(std::string_view name, std::string& out);
  // A plain in-memory stream over the data plus its byte count; on failure
  // the stream is null and the count 0. Codes as LoadEntryToMemory.
  int LoadEntryToComStream(std::string_view name, std::unique_ptr<MemorySource>& stream, int64_t& count);
  // Reads stored (not inflated) bytes from `position`: the count read, at most
  // StoredSize - position; -2 no such entry; 0 position at or beyond
  // StoredSize; -100 read error.
  int64_t ReadEntryBytes(std::string_view name, int64_t position, char* buffer, int64_t length);
  // Streams the entry's data chunk by chunk (inflating as it goes, never the
  // whole entry in memory). The source reports -1 when the data is damaged or
  // shorter or longer than the entry says. It keeps the host file open by
  // itself, so it stays valid after ClosePackage. Null when the package is
  // closed or the entry's offsets lie outside the file.
  std::unique_ptr<ByteSource> OpenEntryReader(const LibRec& entry);

  // --- extraction
  // Writes the entry into the extraction folder. Codes kExtract*; `target`
  // receives the path (also for failures, for the caller's message).
  int ExtractEntry(LibRec& entry, bool uniqueName, AnsiString& target);
  // A usable path for a file named by the publication: an extracted entry,
  // or a file on disk. Returns the ExtractEntry code for an entry, 2 for a
  // disk file, or 0 with errorCode 2 when the file is nowhere.
  int ResolveFile(std::string_view name, AnsiString& path, int& errorCode);
  // Copies the entry `name` into `target` (created or overwritten). Without
  // an entry: with `createIfMissing` an empty target is made, otherwise
  // `lastError` gets message 303. File-system errors put their own message
  // into `lastError`. True when the entry's data was copied in full.
  bool ExtractFileTo(std::string_view name, const AnsiString& target, bool createIfMissing,
                     AnsiString& lastError);
  // Deletes the copy of entry `name` that this run extracted, if any.
  void DeleteExtractedCopy(std::string_view name);

  // --- start-up services
  // Extracts every font entry under a unique name and registers it. Returns
  // the number of fonts registered.
  int InstallEmbeddedFonts();
  // Extracts the start-up files and hands every plug-in to the loader.
  void PreparePlugIns();
  bool LoadCursorFile(std::string_view name, int slot);
  bool LoadIconFile(std::string_view name);

  // Closes the host file, removes extracted files (fonts always; others with
  // `deleteExtracted` and ExtractOp bit 0x80), forgets the entries and
  // restores a changed display mode.
  void ClosePackage(bool deleteExtracted);

  // --- the embedded:\\\ mapping of test runs
  // "¶"-separated name=path pairs from the publication's EMBEDDEDFILES= text.
  // Case-insensitive names; the first of duplicates is kept.
  void SetEmbeddedFiles(std::string_view pairs);
  void ClearEmbeddedFiles() { embedded_.clear(); }
  // In a test run (the open package's RunMode is not 0), a name whose folder
  // part is exactly embedded:\\\ becomes the path listed for its file name;
  // any other name, and every name outside test runs, comes back unchanged.
  AnsiString MapEmbeddedName(std::string_view name) const;

  struct HostFile;  // shared open file (public for the readers in the .cpp)

 private:
  int Open(const AnsiString& hostPath, bool chained, AnsiString& why);
  AnsiString NormalTarget(const LibRec& entry) const;

  PackageHeader header_;
  std::vector<LibRec> entries_;
  std::shared_ptr<HostFile> file_;
  AnsiString hostPath_;
  AnsiString hostFolder_;
  AnsiString extractFolder_;
  int extractOp_ = kDefaultExtractOp;
  bool publicationLoaded_ = false;
  bool displayChanged_ = false;
  std::vector<std::pair<AnsiString, AnsiString>> embedded_;
};

// The package of the running publication.
TPackage& ThePackage();

// The file-name part of an entry name or path: the text after the last "\"
// (and, for paths on this system, "/").
std::string_view FileNamePart(std::string_view name);
// A safe single file name for an extraction target: the text after the last
// "\", "/" or ":"; empty when that is empty, "." or "..".
AnsiString SafeExtractName(std::string_view name);
// The 8-hex-digit stem of the k-th unique extraction name for a DOS date-time.
AnsiString UniqueNameStem(uint32_t dosDateTime, uint32_t k);
// The local time now in the 32-bit DOS file-time format (date high, time low).
uint32_t DosDateTimeNow();

// The extraction folder chosen from ExtractOp and ExtractDir: bit 2 the
// system folder, bit 4 the temporary folder, bit 1 the publication's folder,
// bit 8 a non-empty ExtractDir made absolute and created; otherwise, or when
// the result is empty, "Error" or unusable, the temporary folder.
AnsiString ChooseExtractionFolder(int extractOp, const AnsiString& extractDir,
                                  const AnsiString& publicationFolder, const AnsiString& tempFolder,
                                  const AnsiString& windowsFolder);

}  // namespace vl
