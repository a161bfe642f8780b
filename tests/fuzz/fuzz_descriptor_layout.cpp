// libFuzzer target: see fuzz_entries.h.
#include "tests/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tactra::fuzz::DescriptorLayout(data, size);
}
