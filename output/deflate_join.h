#pragma once
// Deflate streams made apart, joined into one: the way parallel gzip ends
// every piece but the last with a sync flush, for a compressor that can only
// end its stream.
#include <cstddef>
#include <cstdint>

namespace tambrel {

// Turns the complete raw deflate stream of `size` bytes at `bytes` into data
// that another stream's blocks may follow: its last block is marked not last
// and an empty stored block ends it on a byte boundary. `bytes` must have 5
// bytes of room beyond `size`, which grows by up to that. False, changing
// nothing, when the bytes are no complete deflate stream.
bool ContinueDeflateStream(std::uint8_t *bytes, std::size_t &size);

} // namespace tambrel
