#include "windows/QtDialogService.h"

#include <exception>

#include "platform/Foreground.h"
#include "runtime/Global.h"
#include "windows/DialogDriver.h"
#include "windows/FileDialogs.h"
#include "windows/InputBox.h"
#include "windows/Password.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

// A failure while a dialog is built or shown goes to the error display,
// which is itself a dialog: a second failure there is not reported again.
int gReporting = 0;

void Report(const std::exception& e) {
  if (gReporting) return;
  ++gReporting;
  try {
    ReportException(e);
  } catch (...) {
  }
  --gReporting;
}

template <class F, class R>
R Guarded(F&& f, R failed) {
  try {
    return f();
  } catch (const std::exception& e) {
    Report(e);
  } catch (...) {
    Report(std::runtime_error("dialog failed"));
  }
  return failed;
}

}  // namespace

int QtDialogService::Query(const QueryRequest& req) {
  return Guarded(
      [&] {
        RestoreMinimisedApplication();
        PointerVisibleGuard pointer;
        TQueryForm form(DialogOwner(), req, LoadDialogPicture(req.picture));
        DialogInfo info{req.kind, req.title, req.text, req.buttons};
        DialogDriver::RunModal(form, info);
        DialogDriver::Record(info, form.Answer());
        return form.ClickedButton() - 1;
      },
      -1);
}

bool QtDialogService::Input(const InputRequest& req, AnsiString& value) {
  value.clear();
  return Guarded(
      [&] {
        RestoreMinimisedApplication();
        PointerVisibleGuard pointer;
        DialogInfo info{req.kind, req.title, req.message.empty() ? req.prompt : req.message, req.buttons};
        if (req.password) {
          TPasswordEntryForm form(DialogOwner(), req);
          bool ok = DialogDriver::RunModal(form, info) == QDialog::Accepted;
          DialogDriver::Record(info, form.Answer());
          if (ok) value = form.Text();
          return ok;
        }
        TInputBoxForm form(DialogOwner(), req);
        bool ok = DialogDriver::RunModal(form, info) == QDialog::Accepted;
        DialogDriver::Record(info, form.Answer());
        if (ok) value = form.Text();
        return ok;
      },
      false);
}

bool QtDialogService::ChooseFile(const FileRequest& req, AnsiString& path) {
  path.clear();
  return Guarded([&] { return RunFileDialog(req, path); }, false);
}

void InstallQtDialogService() {
  static QtDialogService service;
  SetDialogService(&service);
}

}  // namespace vl
