// Decoding plus BMP writing, in megapixels per second: one 4096 x 4096
// 8-plane ByteRun1 picture, a 4096 x 4096 deep 24-plane and a PBM one, one 1920 x 1080 HAM8
// picture, and a folder of 200 pictures of 320 x 256 with 5 planes converted by tambrel-convert's
// run(); and libdeflate alone on the zlib RGFX picture's body.
#include "bench/bench_pictures.h"
#include "cli/converter.h"
#include "decoder/iff_loader.h"
#include "decoder/iff_picture.h"
#include "output/bmp_writer.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tambrel::bench;

// One scratch folder for the whole run, removed at exit.
const fs::path &ScratchDir() {
    static const fs::path dir = [] {
        std::string tmpl = (fs::temp_directory_path() / "tambrel-bench-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(ScratchDir(), ec);
        });
        return fs::path(tmpl);
    }();
    return dir;
}

void SetPixelCounter(benchmark::State &state, double pixels) {
    state.counters["Mpixels/s"] =
        benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// Decodes `bytes` into a fresh record, as the converter does for each file,
// and optionally writes the BMP.
void DecodeAndWrite(benchmark::State &state, const tambrel::test::Bytes &bytes, double pixels,
                    bool write) {
    const std::string bmp = (ScratchDir() / "out.bmp").string();
    for (auto _ : state) {
        if (write) {
            // A new file each time: replacing one costs a flush on some file systems.
            state.PauseTiming();
            fs::remove(bmp);
            state.ResumeTiming();
        }
        auto pic = std::make_unique<tambrel::IFF_Picture>();
        const int result = tambrel::LoadIffPictureFromMemory(*pic, bytes, "bench.iff", false);
        if (result != 1 || !pic->HasBody()) {
            state.SkipWithError("the picture did not decode");
            return;
        }
        if (write) {
            tambrel::WriteBitmapFile(*pic, bmp, pic->Width, pic->Height);
        }
        benchmark::DoNotOptimize(pic->PixelColours.Data());
    }
    SetPixelCounter(state, pixels);
}

void BM_Large8PlanesDecode(benchmark::State &state) {
    static const auto bytes = LargePicture();
    DecodeAndWrite(state, bytes, double(kLargeSide) * kLargeSide, false);
}
void BM_Large8PlanesDecodeAndWrite(benchmark::State &state) {
    static const auto bytes = LargePicture();
    DecodeAndWrite(state, bytes, double(kLargeSide) * kLargeSide, true);
}
void BM_Deep24DecodeAndWrite(benchmark::State &state) {
    static const auto bytes = DeepPicture();
    DecodeAndWrite(state, bytes, double(kLargeSide) * kLargeSide, true);
}
void BM_PbmDecodeAndWrite(benchmark::State &state) {
    static const auto bytes = PbmPicture();
    DecodeAndWrite(state, bytes, double(kLargeSide) * kLargeSide, true);
}
void BM_Ham8DecodeAndWrite(benchmark::State &state) {
    static const auto bytes = Ham8Picture();
    DecodeAndWrite(state, bytes, double(kHamWidth) * kHamHeight, true);
}

// libdeflate alone unpacking the 4096 x 4096 zlib RGFX picture's body into a
// buffer it has filled before: what no reader of that picture can go below.
void BM_RgfxZlibUnpackOnly(benchmark::State &state) {
    static const auto bytes = [] {
        for (auto &[name, file] : NewKindPictures()) {
            if (name == "rgfx-zlib.iff") {
                return file;
            }
        }
        throw std::runtime_error("no zlib RGFX picture");
    }();
    // RBOD: the chunk's size, the unpacked size, then the zlib stream.
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t at = text.find("RBOD");
    if (at == std::string::npos || at + 12 > bytes.size()) {
        state.SkipWithError("no RBOD");
        return;
    }
    const std::size_t size = std::size_t{bytes[at + 4]} << 24 | std::size_t{bytes[at + 5]} << 16 |
                             std::size_t{bytes[at + 6]} << 8 | bytes[at + 7];
    std::vector<std::uint8_t> out(std::size_t{kLargeSide} * kLargeSide * 3);
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> unpacker(
        libdeflate_alloc_decompressor(), &libdeflate_free_decompressor);
    for (auto _ : state) {
        std::size_t produced = 0;
        if (libdeflate_zlib_decompress(unpacker.get(), bytes.data() + at + 12, size - 4, out.data(),
                                       out.size(), &produced) != LIBDEFLATE_SUCCESS) {
            state.SkipWithError("the zlib stream did not unpack");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    SetPixelCounter(state, double(kLargeSide) * kLargeSide);
}

// The whole converter on a folder of 200 files.
void BM_Folder200Convert(benchmark::State &state) {
    const fs::path folder = ScratchDir() / "folder";
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
        for (int i = 0; i < kFolderPictures; ++i) {
            tambrel::test::WriteBytes((folder / SmallPictureName(i)).string(), SmallPicture(i));
        }
    }
    const std::string jobs = std::to_string(state.range(0));
    for (auto _ : state) {
        // Start from a folder without BMPs each time, as a first conversion does.
        state.PauseTiming();
        for (const auto &e : fs::directory_iterator(folder)) {
            if (e.path().extension() == ".bmp") {
                fs::remove(e.path());
            }
        }
        state.ResumeTiming();
        std::ostringstream out, err;
        const int code = tambrel::cli::run({"-m", "0", "-j", jobs, folder.string()}, out, err,
                                           tambrel::cli::RunEnvironment{});
        if (code != 0) {
            state.SkipWithError(("tambrel-convert failed: " + err.str()).c_str());
            return;
        }
    }
    SetPixelCounter(state, double(kFolderPictures) * kSmallWidth * kSmallHeight);
}

BENCHMARK(BM_Large8PlanesDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Large8PlanesDecodeAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Deep24DecodeAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PbmDecodeAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ham8DecodeAndWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RgfxZlibUnpackOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Folder200Convert)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
