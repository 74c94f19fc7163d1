// libFuzzer entry: every input goes through the decoder and the writers.
#include "fuzz/fuzz_harness.h"

#include <string>

namespace {
std::string &WorkDir() {
    static std::string dir = tambrel::fuzz::MakeWorkDir();
    return dir;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    tambrel::fuzz::RunOneInput({data, size}, WorkDir());
    return 0;
}
