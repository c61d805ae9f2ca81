#pragma once
// A mail as SendMail composes it (`TMailMessage`): addresses, the MIME layout
// of plain, HTML and attached parts, and the raw lines the SMTP client sends
// after DATA. Pure except for the date, the random parts of identifiers and
// reading the attached files.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

struct TMailAddress {
  AnsiString name;
  AnsiString address;
};

// A failure of composing, reported in [LastError] with its text.
class EMailError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Recipients as text: entries cut at ",", except a "," before the next "@"
// (a display name holding a comma). "Name <a@b>", "<a@b>", "a@b (Name)" or
// "a@b". Throws "Unable to parse email address" for "<" without ">".
std::vector<TMailAddress> ParseAddressList(std::string_view text);
// The list read back: "\"Name\" <a@b>" or "<a@b>", joined by ",".
AnsiString AddressListText(const std::vector<TMailAddress>& list);
// The envelope's recipients of that text: lower case, bare addresses.
std::vector<AnsiString> EnvelopeRecipients(std::string_view sendToText);

struct TAttachedFile {
  AnsiString name;          // the file name alone, as the headers carry it
  std::string path;         // native path to read
  AnsiString contentType;   // "application/octet-stream" unless known
};

class TMailMessage {
 public:
  // A file above this is refused rather than read into memory.
  static constexpr int64_t kMaxAttachment = 256LL << 20;

  AnsiString UserName;
  AnsiString From;
  AnsiString Subject;
  std::vector<AnsiString> Text;
  std::vector<AnsiString> HTML;
  std::vector<TAttachedFile> files;
  AnsiString LocalHost = "a.b.c";
  AnsiString date;  // set when sending starts
  std::vector<std::string> rawMail;

  void SetSendTo(std::string_view text) { SendToList = ParseAddressList(text); }
  AnsiString SendTo() const { return AddressListText(SendToList); }
  std::vector<TMailAddress> SendToList;

  // An empty or blank text keeps "a.b.c".
  void SetLocalHost(std::string_view host);
  // Composes rawMail from the above (reads and encodes the attached files).
  // Throws EMailError.
  void FillRawMail(int64_t wallMs);
};

// "Fri, 11 Dec 2026 15:04:05 +0100" in the local zone ("GMT" at UTC).
AnsiString MailDateText(int64_t wallMs);
// Base64 (RFC 2045) in lines of 76 characters.
void Base64Lines(std::string_view bytes, std::vector<std::string>& out);

}  // namespace vl
