// Numbers written as text, by the three rules the system's files follow. Each rule
// has its one home here:
//   - ProfileNumber: how the private-profile functions read a number
//     (GetPrivateProfileInt): "Calibrate.ini" and every number CIni reads.
//   - AtoiNumber: atoi's rule, how a profile's Case, Code and Up are read.
//   - ParseStrictNumber: a trace's numbers, where a malformed number is an error.
#pragma once

#include <cstdint>
#include <string_view>

namespace tactra {

// Blanks and one sign accepted, digits up to the first other character; a negative
// number taken modulo 2^32, an overflow giving the largest value. The same result
// on every platform.
uint32_t ProfileNumber(std::string_view text);

// Blanks and one sign accepted, digits up to the first other character (none: 0);
// saturated to the int32 range where atoi's overflow is undefined.
int32_t AtoiNumber(std::string_view text);

// An optional '-', then decimal digits or "0x" and hexadecimal digits, and nothing
// else; true when that is the text and the value lies in low..high.
bool ParseStrictNumber(std::string_view text, int64_t low, int64_t high, int64_t& value);

}  // namespace tactra
