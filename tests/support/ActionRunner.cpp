#include "support/ActionRunner.h"

#include "support/TestSupport.h"
#include "runtime/Global.h"
#include "app/EvalRun.h"

namespace vltest {

std::string ActionRun::Var(std::string_view name) const {
  for (const auto& [n, v] : vars)
    if (vl::SameTextInvariant(n, name)) return v;
  return {};
}

bool ActionRun::Has(std::string_view name) const {
  for (const auto& [n, v] : vars)
    if (vl::SameTextInvariant(n, name)) return true;
  return false;
}

std::vector<std::string> ActionRun::TraceOf(std::string_view kind) const {
  std::vector<std::string> out;
  for (const auto& l : trace)
    if (l.compare(0, kind.size(), kind) == 0 && l.size() > kind.size() && l[kind.size()] == '\t') out.push_back(l);
  return out;
}

ActionRun RunActionText(std::string_view text) {
  std::string crlf;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf.push_back('\r');
    crlf.push_back(text[i]);
  }
  TempDir dir;
  vl::EvalOptions opt;
  opt.tracePath = (dir / "trace.txt").string();
  ActionRun run;
  run.varsText = vl::EvalActionText(crlf, opt);

  size_t pos = 0;
  vl::AnsiString line;
  while (vl::NextField(run.varsText, pos, '\n', false, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t eq = line.find('=');
    std::string name = line.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    value = vl::ReplaceAll(vl::ReplaceAll(value, "[#13]", "\r"), "[#10]", "\n");
    run.vars.emplace_back(std::move(name), std::move(value));
  }
  std::string tr = ReadFileBytes(dir / "trace.txt");
  pos = 0;
  while (vl::NextField(tr, pos, '\n', false, line))
    if (!line.empty()) run.trace.push_back(line);
  return run;
}

}  // namespace vltest
