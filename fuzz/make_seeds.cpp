// tambrel_fuzz_seeds DIR: writes the seed pictures into DIR for the fuzzer.
#include "fuzz/seed_pictures.h"
#include "tests/support/ilbm_writer.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tambrel_fuzz_seeds DIR\n");
        return 2;
    }
    try {
        auto seeds = tambrel::fuzz::SeedPictures();
        for (auto &seed : tambrel::fuzz::OwnFormSeedPictures()) {
            seeds.push_back(std::move(seed));
        }
        for (const auto &seed : seeds) {
            tambrel::test::WriteBytes(std::string(argv[1]) + "/" + seed.Name + ".iff", seed.Bytes);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tambrel_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
