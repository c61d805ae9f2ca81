#pragma once
// The running publication's door for other programs on this user's desktop:
// a local socket named after the publication, in the user's private folder
// (mode 0700, so only this user can reach it). It carries
//
//  - the hand-over of a second copy of a single-instance publication: the
//    copy sends its command-line text and ends, the running copy takes the
//    text as its new command line;
//  - macros: a text of lines, each "[name]" line expanded into the item that
//    clients can then ask for, every other line run as an action.
//
// Frames on the socket: a 32-bit big-endian length, then the payload, whose
// first byte says what it is: 'C' command line (a 32-bit parameter count,
// then the text), 'X' macro text, 'R' item request. The copy answers 'A'
// (taken) to 'C' and 'X' and 'I' followed by the item text to 'R'. Frames
// above 1 MiB close the connection.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "runtime/Ansi.h"

class QLocalServer;
class QLocalSocket;

namespace vl {

class TInstanceChannel : public QObject {
 public:
  static constexpr int kMaxFrame = 1 << 20;

  TInstanceChannel();
  ~TInstanceChannel() override;

  // The socket for publication `name` (any text: it is reduced to a safe
  // file name). Empty when the user's private folder cannot be made.
  static QString SocketPath(const AnsiString& name);

  // Starts answering at `name`. False when a live copy already answers
  // there, or the socket cannot be made. A socket left by a copy that died
  // is replaced.
  bool Listen(const AnsiString& name);
  bool Listening() const;
  void Close();

  // What arrives (on the main thread, from the event loop).
  std::function<void(const AnsiString& commandLine, int count)> onCommandLine;
  std::function<void(const AnsiString& line)> onMacroLine;
  // Expands a "[name]" macro line (the value becomes the item).
  std::function<AnsiString(const AnsiString& reference)> expand;
  const AnsiString& Item() const { return item_; }

  // The client side; each blocks for at most `timeoutMs`. They can run on
  // any thread but never on the thread of the copy they talk to.
  // True when a running copy took the command line.
  static bool HandOver(const AnsiString& name, const AnsiString& commandLine, int count, int timeoutMs = 3000);
  static bool Execute(const AnsiString& name, const AnsiString& macroText, int timeoutMs = 3000);
  static bool Request(const AnsiString& name, AnsiString& item, int timeoutMs = 3000);
  // True when a live copy answers at `name`.
  static bool Alive(const AnsiString& name, int timeoutMs = 1000);

 private:
  struct Peer;
  void Accept();
  void Read(Peer& peer);
  void Handle(Peer& peer, const std::string& payload);

  QLocalServer* server_ = nullptr;
  std::vector<std::unique_ptr<Peer>> peers_;
  AnsiString item_;
};

}  // namespace vl
