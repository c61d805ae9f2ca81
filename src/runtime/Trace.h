#pragma once
// The trace of observable effects written by a headless run (--trace): one
// line per effect, fields separated by tabs, UTF-8, line breaks inside a field
// written as "\n". Records are documented in the README. Without an open
// trace, recording costs one test.
#include <initializer_list>
#include <string>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl::trace {

// Opens the trace file (truncating it). False when it cannot be written.
bool Open(const std::string& path);
void Close();
bool Active();
// Appends one record. Fields are player texts (Windows-1252) and are
// converted to UTF-8; tabs and line breaks inside fields are escaped.
void Record(std::initializer_list<std::string_view> fields);

}  // namespace vl::trace
