#include "actions/ArgPrep.h"

#include "actions/CommandApi.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Global.h"
#include "runtime/Package.h"

namespace vl {
namespace {

BareNameResolver& Resolver() {
  static BareNameResolver r;
  return r;
}

bool TakeLiteral(AnsiString& s) {
  if (s.empty() || s[0] != '!') return false;
  s.erase(0, 1);
  return true;
}

// A file name argument that contains "[": trimmed, expanded, and in a test
// run an embedded:\\\ name mapped to its real path.
AnsiString ExpandFileName(std::string_view raw) {
  AnsiString s = ExpandVariables(TrimView(raw));
  auto& env = VarsEnv();
  if (env.runMode != 0 && env.mapEmbedded) {
    AnsiString real;
    if (env.mapEmbedded(s, real)) s = real;
  }
  return s;
}

}  // namespace

void SetBareNameResolver(BareNameResolver resolver) { Resolver() = std::move(resolver); }

bool HasDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return true;
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

std::string_view FileNameOnly(std::string_view path) {
  size_t cut = path.find_last_of("\\:/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

AnsiString PrepareArgument(std::string_view raw, ArgKind kind, bool maths, bool currency, bool& literal) {
  literal = false;
  // A plain loop: arguments are short, and memchr's call costs more here.
  bool hasBracket = false;
  for (char c : raw)
    if (c == '[') {
      hasBracket = true;
      break;
    }
  switch (kind) {
    case ArgNone:
      return AnsiString(raw);
    case ArgText:
    case ArgCaption: {
      AnsiString s = hasBracket ? ExpandVariables(raw) : AnsiString(raw);
      literal = TakeLiteral(s);
      return s;
    }
    case ArgNumber:
    case ArgValue: {
      AnsiString s = hasBracket ? ExpandVariables(raw, kind == ArgNumber) : AnsiString(raw);
      literal = TakeLiteral(s);
      if (maths && !literal && s.size() > 1 && !PlainNumber(s)) {
        ExprResult r = EvaluateExpression(s, -1, currency);
        if (!r.syntaxError) s = std::move(r.text);
      }
      return s;
    }
    case ArgFileName:
    case ArgPlugInFile: {
      AnsiString s = hasBracket ? ExpandFileName(raw) : AnsiString(raw);
      literal = TakeLiteral(s);
      if (!s.empty() && !hasBracket && !literal && !HasDrive(s)) {
        if (Resolver())
          s = Resolver()(s);
        else if (ThePackage().IsOpen())
          s = ThePackage().ResolveBareName(s);
      }
      return s;
    }
    case ArgVariable:
      return ExpandVariables(raw, false, true);
    case ArgDataFile: {
      AnsiString s = hasBracket ? ExpandFileName(raw) : AnsiString(raw);
      literal = TakeLiteral(s);
      if (!hasBracket && !literal) s = AnsiString(FileNameOnly(s));
      return s;
    }
    case ArgObject:
    case ArgMenuItem:
      return hasBracket ? ExpandVariables(raw) : AnsiString(raw);
  }
  return AnsiString(raw);
}

}  // namespace vl
