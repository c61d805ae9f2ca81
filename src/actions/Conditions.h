#pragma once
// The conditions of If, While, IfEx and WhileEx.
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

enum class CompareOp : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };
// False when `op` is not one of = <> < > <= >=.
bool ParseCompareOp(std::string_view op, CompareOp& out);

// Compares two prepared values: numerically when both are non-empty numbers
// (and, unless `numericIfLiteral`, neither is literal), else by character
// codes. Values are upper-cased first unless literal.
bool CompareValues(std::string_view left, bool leftLiteral, CompareOp op, std::string_view right,
                   bool rightLiteral, bool numericIfLiteral);

// Evaluates an IfEx/WhileEx condition as written (unexpanded). Returns 0 and
// the result, or an interpreter error code (-15, -16, -17) with `errorText`
// (the offending token for -15).
int EvaluateCondition(std::string_view condition, bool& result, AnsiString& errorText);

}  // namespace vl
