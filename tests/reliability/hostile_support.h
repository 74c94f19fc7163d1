#pragma once
// Helpers of the reliability tests: test pictures, the chunk
// layout of a file, BMP pixel reads, children with a file size limit, the
// converter run as a program or in-process, and a count of the memory the test program asks for.
#include "tests/support/ilbm_writer.h"
#include "tests/support/temp_dir.h"

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tambrel::test {

inline const Bytes kOldContents = {'o', 'l', 'd', '\n'};
using ScratchDir = TempDir;
inline std::vector<std::string> Entries(const std::string &dir) {
    return TempDir::EntriesOf(dir);
}

// A packed size x size picture of `planes` planes with a grey palette.
Bytes TestPicture(int size, int planes, unsigned seed);

struct ChunkAt {
    std::string Id;
    std::size_t Offset; // of the chunk header
};
std::vector<ChunkAt> ChunksOf(const Bytes &file);

// The file offset just after each picture row's data in a BODY whose data
// starts at `dataStart`: `planes` plane rows of `rowBytes` each, plain or ByteRun1.
std::vector<std::size_t> RowEnds(const Bytes &file, std::size_t dataStart, int height, int planes,
                                 std::size_t rowBytes, bool packed);

// Pixel (x, y), y from the top, of a 32-bit bottom-up BMP; nullopt when the file is short.
std::optional<std::uint32_t> BitmapPixel(const Bytes &bmp, int x, int y);

// Runs `body` in a child process with a file size limit, SIGXFSZ ignored as a
// program writing files must. Gives the child's exit status (1000 + signal when
// a signal ended it) and the text body returned.
std::pair<int, std::string> InChildWithFileLimit(rlim_t limit,
                                                 const std::function<std::string()> &body);

inline bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// The converter's exit status (1000 + signal when a signal ended it) and its
// standard error.
struct Outcome {
    int status;
    std::string err;
};
// Starts the converter program with `args`, its standard error on `errFd`;
// `inChild` runs in the child first (limits, user). Every child ends within 60 s.
pid_t Start(const std::vector<std::string> &args, int errFd,
            const std::function<void()> &inChild = nullptr);
int Wait(pid_t pid);
// The program run to its end, or cli::run in this process.
Outcome Program(const std::vector<std::string> &args,
                const std::function<void()> &inChild = nullptr);
Outcome InProcess(const std::vector<std::string> &args);

// The largest single allocation and the peak of bytes held since the reset:
// the test program's operator new goes through this count.
void ResetAllocationProbe();
std::size_t LargestAllocation();
std::size_t PeakHeldSinceReset();

} // namespace tambrel::test
