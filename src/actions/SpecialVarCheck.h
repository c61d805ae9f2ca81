#pragma once
// Whether every special variable of the list has its provider. Each owner
// registers its own (RegisterSpecialVar, actions/Vars.h) from a static object
// in its file, so only a program that links every subsystem has them all.
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

bool SpecialVarHasSetter(int index);
// What is wrong with the providers, one text per fault, in list order: a
// name without getter ("NAME: no provider, reads as empty"), a writable name
// without setter, a read-only name with one.
std::vector<AnsiString> SpecialVarProblems();
// Development builds (without NDEBUG): prints SpecialVarProblems() and aborts
// when there are any. Called when the player starts.
void CheckSpecialVarsAtStart();

// The outgoing mail server last written to [MailServer] (empty until then).
const AnsiString& MailServerName();
// The mail command's own view of it: the server (detection and the server
// question write it too) and whether it is known (written non-empty to
// [MailServer], or answered in the question; false at start).
AnsiString& MailServerSetting();
bool& MailServerKnown();

}  // namespace vl
