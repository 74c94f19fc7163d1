#include "decoder/colour_cycles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace tambrel {

namespace {

std::uint32_t Word(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0] << 8 | p[1]);
}

std::uint32_t Long(const std::uint8_t *p) {
    return Word(p) << 16 | Word(p + 2);
}

// The paint programs' rate unit: 16384 is 60 steps a second.
double RateSteps(std::uint32_t rate) {
    return rate * 60.0 / 16384.0;
}

// Consecutive entries low .. high, one position each.
std::vector<CycleCell> EntryRun(int low, int high) {
    std::vector<CycleCell> cells;
    for (int entry = low; entry <= high; ++entry)
        cells.push_back(CycleCell{entry, 0});
    return cells;
}

// CRNG: pad word, rate, flags (bit 0 active, bit 1 reverse), low and high entry.
CycleRange ReadCrng(const std::uint8_t *d) {
    CycleRange range;
    range.StepsPerSecond = RateSteps(Word(d + 2));
    range.Active = (Word(d + 4) & 1) != 0;
    range.Reverse = (Word(d + 4) & 2) != 0;
    range.Cells = EntryRun(d[6], d[7]);
    return range;
}

// CCRT: direction (0 still, 1 forward, -1 backward), start and end entry,
// then the delay between steps in seconds and microseconds.
CycleRange ReadCcrt(const std::uint8_t *d) {
    CycleRange range;
    const auto direction = static_cast<std::int16_t>(Word(d));
    const double delay = Long(d + 4) + Long(d + 8) / 1e6;
    range.StepsPerSecond = delay > 0 ? 1 / delay : 0;
    range.Active = direction != 0;
    range.Reverse = direction < 0;
    range.Cells = EntryRun(d[2], d[3]);
    return range;
}

// DRNG: min and max cell, rate, flags (bit 0 active), the counts of true-colour
// cells (cell, red, green, blue) and entry cells (cell, entry) that follow.
// The positions are the cells named within min .. max, in cell order.
CycleRange ReadDrng(const std::uint8_t *d, std::size_t size) {
    CycleRange range;
    const int low = d[0], high = d[1];
    range.StepsPerSecond = RateSteps(Word(d + 2));
    range.Active = (Word(d + 4) & 1) != 0;
    const std::size_t colours = d[6], entries = d[7];
    std::map<int, CycleCell> cells;
    std::size_t at = 8;
    for (std::size_t i = 0; i < colours && at + 4 <= size; ++i, at += 4)
        if (d[at] >= low && d[at] <= high)
            cells[d[at]] =
                CycleCell{-1, Colour{d[at + 1]} << 16 | Colour{d[at + 2]} << 8 | Colour{d[at + 3]}};
    for (std::size_t i = 0; i < entries && at + 2 <= size; ++i, at += 2)
        if (d[at] >= low && d[at] <= high)
            cells[d[at]] = CycleCell{d[at + 1], 0};
    for (const auto &cell : cells)
        range.Cells.push_back(cell.second);
    return range;
}

} // namespace

bool CycleRange::Cycles() const {
    return Active && StepsPerSecond > 0 && Cells.size() > 1 &&
           std::any_of(Cells.begin(), Cells.end(), [](const CycleCell &c) { return c.Entry >= 0; });
}

std::vector<CycleRange> ReadColourCycles(const std::uint8_t *bytes, std::size_t length) {
    std::vector<CycleRange> ranges;
    if (bytes == nullptr || length < 12 || std::memcmp(bytes, "FORM", 4) != 0)
        return ranges;
    const std::uint64_t end = std::min<std::uint64_t>(length, std::uint64_t{Long(bytes + 4)} + 8);
    std::uint64_t pos = 12;
    while (pos + 8 <= end) {
        const std::uint8_t *id = bytes + pos;
        const std::uint64_t size = Long(bytes + pos + 4);
        const std::uint8_t *data = bytes + pos + 8;
        if (pos + 8 + size > end)
            break; // cut off: nothing after it is whole either
        if (std::memcmp(id, "CRNG", 4) == 0 && size >= 8)
            ranges.push_back(ReadCrng(data));
        else if (std::memcmp(id, "CCRT", 4) == 0 && size >= 12)
            ranges.push_back(ReadCcrt(data));
        else if (std::memcmp(id, "DRNG", 4) == 0 && size >= 8)
            ranges.push_back(ReadDrng(data, static_cast<std::size_t>(size)));
        pos += 8 + size + (size & 1);
    }
    return ranges;
}

std::int64_t StepsAfter(const CycleRange &range, double seconds) {
    if (!range.Cycles() || seconds <= 0)
        return 0;
    return static_cast<std::int64_t>(std::floor(seconds * range.StepsPerSecond));
}

void CycleEntries(const CycleRange &range, std::int64_t steps, const Colour *still, Colour *shown) {
    const auto n = static_cast<std::int64_t>(range.Cells.size());
    if (n == 0)
        return;
    const std::int64_t shift = ((range.Reverse ? -steps : steps) % n + n) % n;
    for (std::int64_t i = 0; i < n; ++i) {
        const CycleCell &to = range.Cells[static_cast<std::size_t>(i)];
        if (to.Entry < 0)
            continue;
        // Position i shows what position i - shift held at the start.
        const CycleCell &from = range.Cells[static_cast<std::size_t>((i - shift + n) % n)];
        shown[to.Entry] = from.Entry < 0 ? from.Fixed : still[from.Entry];
    }
}

} // namespace tambrel
