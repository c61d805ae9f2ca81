#pragma once
// The dialog service of a player with widgets: every request becomes one of
// the player's own dialogs, shown modally through DialogDriver::RunModal (so
// a headless run answers it with the driver) and recorded in the trace.
#include "runtime/Host.h"

namespace vl {

class QtDialogService : public DialogService {
 public:
  int Query(const QueryRequest& req) override;
  bool Input(const InputRequest& req, AnsiString& value) override;
  bool ChooseFile(const FileRequest& req, AnsiString& path) override;
};

// Installs one service for the life of the process (the player's start-up
// calls it once its application object exists).
void InstallQtDialogService();

}  // namespace vl
