#pragma once
// Colour cycling: the ranges of palette entries a paint program stored with a
// picture, to be turned round while it is shown. Three chunks carry them:
// CRNG (low and high entry, rate, active and reverse flags), CCRT (start and
// end entry, direction, delay between steps) and DRNG (cells holding an entry
// or a fixed colour, rate, active flag). They are read from the file's bytes
// on their own, apart from the picture's chunk walk.
#include "decoder/colour.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tambrel {

// One position of a range: a palette entry, or a fixed colour that moves
// through the range's entries without being one (DRNG true-colour cells).
struct CycleCell {
    int Entry = -1; // -1: the fixed colour
    Colour Fixed = 0;
};

struct CycleRange {
    std::vector<CycleCell> Cells; // lowest position first
    double StepsPerSecond = 0;
    bool Active = false;  // the file asks for the range to cycle
    bool Reverse = false; // colours move to the next lower position
    // Active, with a rate, at least one entry and more than one position.
    bool Cycles() const;
};

// Every CRNG, CCRT and DRNG chunk of the FORM in `bytes`, in file order;
// nothing for bytes that are no FORM. Short or cut-off chunks are passed over.
std::vector<CycleRange> ReadColourCycles(const std::uint8_t *bytes, std::size_t length);

// The range's step count after `seconds` of cycling.
std::int64_t StepsAfter(const CycleRange &range, double seconds);

// Writes into `shown` the entries of `range` after `steps` steps, from the
// colours `still` gives them (both hold at least 256 entries). Forward, each
// step moves every colour one position up and the top one round to the bottom.
void CycleEntries(const CycleRange &range, std::int64_t steps, const Colour *still, Colour *shown);

} // namespace tambrel
