// tambrel_fuzz_replay FILE...: runs saved fuzz inputs through the same steps
// as the fuzzer, without libFuzzer, so a crash input can be examined with any
// compiler, debugger or sanitizer.
#include "common/errors.h"
#include "fuzz/fuzz_harness.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tambrel_fuzz_replay FILE...\n");
        return 2;
    }
    const std::string dir = tambrel::fuzz::MakeWorkDir();
    const char *names[] = {"skipped (size)", "not an ILBM", "refused (too large)", "no BODY",
                           "written"};
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read\n", argv[i]);
            status = 1;
            continue;
        }
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        try {
            const auto outcome = tambrel::fuzz::RunOneInput(bytes, dir);
            std::printf("%s: %zu bytes, %s\n", argv[i], bytes.size(),
                        names[static_cast<int>(outcome)]);
        } catch (const tambrel::TambrelError &e) {
            std::printf("%s: error %d: %s\n", argv[i], e.Number, e.what());
            status = 1;
        }
    }
    ::rmdir(dir.c_str());
    return status;
}
