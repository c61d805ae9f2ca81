#include "runtime/Host.h"

#include "runtime/Trace.h"

namespace vl {
namespace {
DialogService* gDialogs = nullptr;

AnsiString Join(const std::vector<AnsiString>& v) {
  AnsiString r;
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) r.push_back('|');
    r += v[i];
  }
  return r;
}
}  // namespace

DialogService& Dialogs() {
  static AutoAnswerDialogs fallback;
  return gDialogs ? *gDialogs : fallback;
}

void SetDialogService(DialogService* service) { gDialogs = service; }

int AutoAnswerDialogs::Query(const QueryRequest& req) {
  AnsiString answer = req.buttons.empty() ? AnsiString() : req.buttons.front();
  trace::Record({"dialog", req.kind, req.title, req.text, Join(req.buttons), answer});
  return req.buttons.empty() ? -1 : 0;
}

bool AutoAnswerDialogs::Input(const InputRequest& req, AnsiString& value) {
  value = req.initial;
  AnsiString answer = req.buttons.empty() ? AnsiString() : req.buttons.front();
  trace::Record({"dialog", req.kind, req.title, req.message.empty() ? req.prompt : req.message, Join(req.buttons), answer});
  return true;
}

bool AutoAnswerDialogs::ChooseFile(const FileRequest& req, AnsiString& path) {
  path.clear();
  trace::Record({"dialog", req.kind, req.title, req.filter, "", ""});
  return false;
}

}  // namespace vl
