#pragma once
// The player's numbered message table. Texts are stored in the player's
// language, byte for byte as the original build carries them (Windows-1252).
#include <string>

namespace vl {

// The text of message `id`, or an empty string when the table has no such id.
const std::string& Msg(int id);

}  // namespace vl
