// The file-name commands. They only cut texts, the disk is not touched; the
// folder part ends at the last "\" or ":", the extension starts at the last
// "." of the name part.
#include "actions/CommandApi.h"
#include "actions/Vars.h"

namespace vl {
namespace {

size_t NameStart(std::string_view p) {
  size_t cut = p.find_last_of("\\:");
  return cut == std::string_view::npos ? 0 : cut + 1;
}

// Position of the extension's ".", or npos.
size_t ExtStart(std::string_view p) {
  size_t cut = p.find_last_of(".\\:");
  return cut != std::string_view::npos && p[cut] == '.' ? cut : std::string_view::npos;
}

AnsiString FileDrive(std::string_view p) {
  if (p.size() >= 2 && p[1] == ':') return AnsiString(p.substr(0, 2));
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    // "\\server\share": up to the backslash after the share name.
    size_t i = 2;
    int seps = 0;
    while (i < p.size()) {
      if (p[i] == '\\' && ++seps == 2) break;
      ++i;
    }
    return AnsiString(p.substr(0, i));
  }
  return {};
}

void DoExtractFilePath(CommandContext& c) {
  SetVariable(c.Arg(2), c.Arg(1).substr(0, NameStart(c.Arg(1))));
}

void DoExtractFileName(CommandContext& c) { SetVariable(c.Arg(2), c.Arg(1).substr(NameStart(c.Arg(1)))); }

void DoExtractFileExt(CommandContext& c) {
  size_t e = ExtStart(c.Arg(1));
  SetVariable(c.Arg(2), e == AnsiString::npos ? AnsiString() : c.Arg(1).substr(e));
}

void DoExtractFileDrive(CommandContext& c) { SetVariable(c.Arg(2), FileDrive(c.Arg(1))); }

void DoChangeFileExt(CommandContext& c) {
  const AnsiString& p = c.Arg(1);
  size_t e = ExtStart(p);
  SetVariable(c.Arg(3), (e == AnsiString::npos ? p : p.substr(0, e)) + c.Arg(2));
}

const CommandBinder kBind{{cmd::ExtractFilePath, DoExtractFilePath},
                          {cmd::ExtractFileName, DoExtractFileName},
                          {cmd::ExtractFileExt, DoExtractFileExt},
                          {cmd::ExtractFileDrive, DoExtractFileDrive},
                          {cmd::ChangeFileExt, DoChangeFileExt}};

}  // namespace
}  // namespace vl
