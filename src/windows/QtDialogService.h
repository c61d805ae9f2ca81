#pragma once
// The dialog service of a player with widgets: every request becomes one of
// the player's own dialogs, shown modally through DialogDriver::RunModal (so
// a headless run answers it with the driver) and recorded in the trace.
#include "runtime/Global.h"
#include "runtime/Host.h"

namespace vl {

class QtDialogService : public DialogService {
 public:
  int Query(const QueryRequest& req) override;
  bool Input(const InputRequest& req, AnsiString& value) override;
  bool ChooseFile(const FileRequest& req, AnsiString& path) override;
};

// The player's error display (SetErrorDisplay, installed with the main
// window): the message dialog with the application's title, the text, the
// single button L_OK= and the alert picture.
class DialogErrorDisplay : public ErrorDisplay {
 public:
  void ShowError(const AnsiString& text) override;
};

// Installs one service for the life of the process (the player's start-up
// calls it once its application object exists).
void InstallQtDialogService();

}  // namespace vl
