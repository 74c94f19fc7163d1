#pragma once
// One input through everything a picture file can reach: the decoder (a record
// reused across inputs, as the windows keep it, and a fresh one, as the
// converter uses), then the BMP and the three export files. Shared by the
// libFuzzer target, the replay program and the regression tests, so a crash
// input found by the fuzzer fails the same way everywhere.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tambrel::fuzz {

// Pictures whose header asks for more pixels than this (and not so many that
// the decoder refuses them before allocating) are not decoded here: they are
// legal, but at up to 5 bytes a pixel they would only measure the machine's
// memory, not find faults.
inline constexpr std::uint64_t kFuzzPixelLimit = std::uint64_t{1} << 17;

// What every decode here is held to. The scan above reads each "BMHD" where
// it stands, but the decoder also takes sizes from other places (a BMHD chunk
// shorter than its fields, an RGFX or DEEP header), so the decoder's own
// limits are the bound that always holds: a picture past them is refused
// before anything is allocated, as any reader refuses one past its limits.
inline constexpr std::uint64_t kFuzzDecodePixels = std::uint64_t{1} << 22;
inline constexpr std::uint64_t kFuzzDecodeBytes = std::uint64_t{256} << 20;

enum class InputOutcome {
    Skipped, // a header asks for a picture between kFuzzPixelLimit and the refusal size
    NotIlbm, // result 0
    Refused, // TambrelError 7: past the limits above, refused before allocation
    NoBody,  // walked, no BODY: no BMP, no raw exports
    Written, // BMP (and the exports the guards allow) written and checked
};

// The largest (W8 + 1) x (Height + 1) any "BMHD" in the bytes could declare.
std::uint64_t LargestDeclaredPixels(std::span<const std::uint8_t> bytes);

// Runs one input; output files go to `workDir` and are removed again. Any
// broken invariant aborts with a message on stderr (a finding, like a crash);
// TambrelError other than "too large" is passed on to the caller.
InputOutcome RunOneInput(std::span<const std::uint8_t> bytes, const std::string &workDir);

// A private folder for the output files, created under TMPDIR (or /tmp).
std::string MakeWorkDir();

} // namespace tambrel::fuzz
