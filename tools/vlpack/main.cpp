// vlpack: list, extract and build packages, in the habits of unzip and tar.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "VlPack.h"

namespace {

const char kHelp[] = R"(usage: vlpack COMMAND [OPTIONS]

Inspect, extract and build publication packages: the block of files and the
directory appended to a publication's executable, to the player, or stored
alone as a .pkg file.

  vlpack list FILE [--chained]
      Prints the directory header (run mode, start page, test strings,
      publication kind, single instance, display mode, splash and preview
      pictures) and every entry: type, size, stored size, compressed or raw,
      offset, picture width x height and alpha, name. Entries are shown in
      directory order; an entry hidden by a later one of the same name is
      marked "shadowed".

  vlpack extract FILE [-C DIR] [--chained] [ENTRY...]
      Writes the entries (all, or those named) under DIR (default: the
      current folder). Each name becomes a relative path: the text up to the
      last ":" (a drive letter, "embedded:") is dropped, "\" and "/" separate
      folders, empty and "." parts are skipped, and a name with a ".." part
      is refused. The data is byte for byte what the player reads; of two
      entries with the same name, the one the player finds (the later one)
      is written.

  vlpack build -o OUT [--host EXE] [--files-only] [HEADER OPTIONS]
               [NAME OPTIONS] DIR
      Packs DIR: DIR/RUNTIME.PUB as the publication text (type 1) and every
      other file of DIR and its sub-folders (names beginning with "." are
      left out). A folder without RUNTIME.PUB is refused unless --files-only
      is given. A file is stored under its path relative to DIR with "\"
      separators unless a name option says otherwise. Its type comes from
      its extension:
          .bmp .jpg .jpeg .jpe .png .gif .ico .wmf .emf .tif .tiff  3 picture
          .rtf  2 rich text        .wav  4 sound
          .ttf .otf .ttc .fon .fnt  6 font
          .dll .so  10 plug-in library (Windows and Linux builds)
          anything else  0 (reached by name only)
      Files are compressed with zlib, except those already compressed
      (.jpg .jpeg .jpe .png .gif .zip .gz .mp3 .ogg) and empty files, which
      are stored raw.

      --host EXE            append the package to a copy of EXE; all offsets
                            are computed for that position
      --files-only          pack a folder without RUNTIME.PUB: a package of
                            files only, which the player cannot start;
                            refused when the folder has a RUNTIME.PUB
      Header options:
      --build-stamp N       BuildStamp (default 0)
      --run-mode N          0 normal, 1 page test, 2 test run, 3 test run
                            from --start-page
      --start-page N        first page of a test run (implies --run-mode 3)
      --debug-folder TEXT   test strings, written when the run mode is not 0:
      --function-folder TEXT    debugger library folder, function-file folder,
      --media-folder TEXT       media tool-bar picture folder, application
      --icon-file TEXT          icon file
      --kind KIND           window (0, default), screensaver (1), tray (2)
      --single-instance     only one copy of the publication may run
      --display WxHxBITS    switch the display to this mode (windows only)
      --splash NAME         splash picture
      --preview NAME        screen-saver preview picture
      --chained             the short directory form of a .pkg loaded by
                            another publication (no kind, single-instance,
                            display or splash fields)
      Name options (FILE is a path relative to DIR, with "/" separators):
      --prefix TEXT         store every file as TEXT\relative\path, as the
                            author's machine had it (e.g. 'C:\pub')
      --name FILE=NAME      store FILE under NAME; repeat to store a file
                            under several names (several files may share one
                            name: the last one given wins in the player)
      --embedded FILE       store FILE as embedded:\\\ followed by its file name
      --type FILE=N         store FILE with type N
      --startup FILE        store FILE as a start-up file (type 11)
      --raw FILE            store FILE raw
      --compress FILE       compress FILE even if it looks compressed
      --compress-images     compress JPEG and PNG pictures too
      --level N             zlib level 0-9 (default 9)

  vlpack --help            this text

Names are taken as UTF-8 and stored in Windows-1252, as the player reads them.
Exit status: 0 on success, 1 when something failed (the message says what),
2 for a usage error.
)";

}  // namespace

int vlpack::Fail(const std::string& message) {
  std::fprintf(stderr, "vlpack: %s\n", message.c_str());
  return 1;
}

int vlpack::Usage(const std::string& message) {
  std::fprintf(stderr, "vlpack: %s (try vlpack --help)\n", message.c_str());
  return kUsageError;
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kHelp, stderr);
    return vlpack::kUsageError;
  }
  const std::string cmd = args[0];
  args.erase(args.begin());
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  for (const auto& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
  try {
    if (cmd == "list") return vlpack::CmdList(args);
    if (cmd == "extract") return vlpack::CmdExtract(args);
    if (cmd == "build") return vlpack::CmdBuild(args);
  } catch (const std::exception& e) {
    return vlpack::Fail(e.what());
  }
  std::fprintf(stderr, "vlpack: unknown command \"%s\" (try vlpack --help)\n", cmd.c_str());
  return vlpack::kUsageError;
}
