#pragma once
// What the core needs from the host (windows, dialogs): small interfaces with a
// real implementation in the player and a headless one. The core calls them
// through the accessors below and never includes widget headers.
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

// A message dialog: title, text (in which "|" breaks lines; the dialog turns it
// into line breaks, the trace keeps it), buttons by caption, optional picture
// file name.
struct QueryRequest {
  AnsiString kind;   // for traces: "alert", "message", "error", "exit", ...
  AnsiString title;
  AnsiString text;
  std::vector<AnsiString> buttons;
  AnsiString picture;  // file name as the publication wrote it, may be empty
  int defaultButton = 0;
  int cancelButton = -1;  // button chosen by Esc / the close box, -1 none
};

// A text input dialog (InputBox, the password form).
struct InputRequest {
  AnsiString kind;  // "input", "password"
  AnsiString title;
  AnsiString message;  // the password form's text above the entry ("|" breaks lines)
  AnsiString prompt;   // the text before (password) or above (input) the entry
  AnsiString initial;
  bool password = false;
  std::vector<AnsiString> buttons;  // normally L_OK and L_CANCEL
};

// File and folder choosers. Filters are in the Windows form
// "Text files|*.txt|All|*.*".
struct FileRequest {
  AnsiString kind;  // "fileopen", "filesave", "folder"
  AnsiString title;
  AnsiString filter;
  AnsiString initialDir;
  AnsiString initialName;
  // "." : the extension of the chosen file type is added to a name typed
  // without one.
  AnsiString defaultExt;
  bool multiple = false;  // file-open: several files, returned joined by ";"
};

class DialogService {
 public:
  virtual ~DialogService() = default;
  // Index of the chosen button, or -1 when the dialog was closed otherwise.
  virtual int Query(const QueryRequest& req) = 0;
  // True for OK; `value` holds the typed text.
  virtual bool Input(const InputRequest& req, AnsiString& value) = 0;
  // True when a path was chosen.
  virtual bool ChooseFile(const FileRequest& req, AnsiString& path) = 0;
};

// The service in force; a headless one that answers with the first button
// (and cancels input and file dialogs) until the player installs another.
DialogService& Dialogs();
void SetDialogService(DialogService* service);  // nullptr restores the default

// Answers every dialog by itself and records it in the trace: the default
// service of runs without a window (vellion --eval).
class AutoAnswerDialogs : public DialogService {
 public:
  int Query(const QueryRequest& req) override;
  bool Input(const InputRequest& req, AnsiString& value) override;
  bool ChooseFile(const FileRequest& req, AnsiString& path) override;
};

}  // namespace vl
