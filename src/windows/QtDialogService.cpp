#include "windows/QtDialogService.h"

#include <QPointer>
#include <exception>

#include "platform/Foreground.h"
#include "runtime/Global.h"
#include "windows/DialogDriver.h"
#include "windows/DialogSettings.h"
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

// The forms are made on the heap for their owner window: should the owner go
// while the form is open (a chained load), it takes the form with it, and the
// guard notices.
int QtDialogService::Query(const QueryRequest& req) {
  return Guarded(
      [&] {
        RestoreMinimisedApplication();
        PointerVisibleGuard pointer;
        QPointer<TQueryForm> form = new TQueryForm(DialogOwner(), req, LoadDialogPicture(req.picture));
        DialogInfo info{req.kind, req.title, req.text, req.buttons};
        DialogDriver::RunModal(*form, info);
        if (!form) {
          DialogDriver::Record(info, "");
          return -1;
        }
        DialogDriver::Record(info, form->Answer());
        const int chosen = form->ClickedButton() - 1;
        delete form.data();
        return chosen;
      },
      -1);
}

namespace {
template <class Form>
bool RunEntryForm(const InputRequest& req, AnsiString& value) {
  QPointer<Form> form = new Form(DialogOwner(), req);
  DialogInfo info{req.kind, req.title, req.message.empty() ? req.prompt : req.message, req.buttons};
  const bool ok = DialogDriver::RunModal(*form, info) == QDialog::Accepted && form;
  DialogDriver::Record(info, form ? form->Answer() : AnsiString());
  if (ok) value = form->Text();
  delete form.data();
  return ok;
}
}  // namespace

bool QtDialogService::Input(const InputRequest& req, AnsiString& value) {
  value.clear();
  return Guarded(
      [&] {
        RestoreMinimisedApplication();
        PointerVisibleGuard pointer;
        return req.password ? RunEntryForm<TPasswordEntryForm>(req, value) : RunEntryForm<TInputBoxForm>(req, value);
      },
      false);
}

bool QtDialogService::ChooseFile(const FileRequest& req, AnsiString& path) {
  path.clear();
  return Guarded([&] { return RunFileDialog(req, path); }, false);
}

void DialogErrorDisplay::ShowError(const AnsiString& text) {
  const auto& s = TheDialogSettings();
  QueryDialog(s.appTitle, text, s.okText, s.alertImage, "error");
}

void InstallQtDialogService() {
  static QtDialogService service;
  SetDialogService(&service);
}

}  // namespace vl
