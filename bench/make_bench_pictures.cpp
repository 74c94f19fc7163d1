// Writes the benchmark pictures into a folder:
//   large.iff (4096 x 4096, 8 planes), deep.iff (4096 x 4096, 24 planes),
//   pbm.lbm (4096 x 4096 FORM PBM), ham8.iff (1920 x 1080 HAM8), the other
//   kinds at 4096 x 4096 (rgfx.iff, rgfx-zlib.iff, deep-form.iff,
//   deep-form-rle.iff, rgb8.iff, rgbn.iff, ilbm48.iff, pchg.iff) and
//   folder/p000.iff .. p199.iff (320 x 256, 5 planes).
#include "bench/bench_pictures.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tambrel_bench_gen OUTDIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    using namespace tambrel::bench;
    try {
        const fs::path out = argv[1];
        fs::create_directories(out / "folder");
        tambrel::test::WriteBytes((out / "large.iff").string(), LargePicture());
        tambrel::test::WriteBytes((out / "deep.iff").string(), DeepPicture());
        tambrel::test::WriteBytes((out / "pbm.lbm").string(), PbmPicture());
        tambrel::test::WriteBytes((out / "ham8.iff").string(), Ham8Picture());
        for (const auto &[name, bytes] : NewKindPictures()) {
            tambrel::test::WriteBytes((out / name).string(), bytes);
        }
        for (int i = 0; i < kFolderPictures; ++i) {
            tambrel::test::WriteBytes((out / "folder" / SmallPictureName(i)).string(),
                                      SmallPicture(i));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tambrel_bench_gen: %s\n", e.what());
        return 1;
    }
    return 0;
}
