// A 64-bit intermediate brought back into 32 bits at the nearest limit, for the
// arithmetic on positions and limits that must never wrap.
#pragma once

#include <cstdint>
#include <limits>

namespace tactra {

inline int32_t SaturateInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

}  // namespace tactra
