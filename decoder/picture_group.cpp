// The pictures of a CAT or LIST: which FORM a load takes, how many pictures
// the group holds, and the shared properties (PROP) a LIST gives its FORMs.
//
// A LIST may start with PROP chunks of a FORM type ("PROP ILBM"): their
// chunks (BMHD, CMAP, CAMG ...) stand for every FORM of that type in the
// LIST, nested groups included, that does not carry the chunk itself. A PROP
// of an inner LIST overrides one of an outer LIST; a PROP in a CAT means
// nothing. The picture taken is rebuilt in the file cache as one FORM that
// holds its own chunks and the shared ones it lacks, so the chunk walk reads
// it like any lone FORM.
#include "common/errors.h"
#include "common/text.h"
#include "decoder/loader_steps.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace tambrel::loader {

namespace {

std::uint64_t LongAt(const std::uint8_t *p) {
    return std::uint64_t{p[0]} << 24 | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 8 | p[3];
}

struct Prop {
    std::string Type;
    std::uint64_t From = 0; // its first chunk
    std::uint64_t End = 0;  // past its last byte, within the file
};

struct Search {
    std::uint32_t Want = 0;  // the picture sought, 0 the first
    std::uint32_t Count = 0; // picture FORMs met so far
    bool Found = false;
    std::uint64_t FormAt = 0;
    std::uint64_t FormSize = 0;
    FormKind Form = FormKind::Ilbm;
    std::vector<Prop> Shared; // the PROPs that apply to it, innermost first
};

// Counts the picture FORMs of the group contents from `pos` to `end`, nested
// groups in order (8 deep at most), and notes the one sought with the PROPs
// in force for it (`scope`: those of the enclosing LISTs, outermost first).
void Walk(const LoadSession &pic, Search &s, std::uint64_t pos, std::uint64_t end, int depth,
          bool list, std::vector<Prop> &scope) {
    const std::uint8_t *cache = pic.FileCache.data();
    end = std::min(end, pic.FileLength);
    const std::size_t outer = scope.size();
    while (pos + 12 <= end) {
        const std::string id(cache + pos, cache + pos + 4);
        const std::uint64_t size = LongAt(cache + pos + 4);
        const std::string type(cache + pos + 8, cache + pos + 12);
        FormKind form = FormKind::Ilbm;
        if (id == "FORM" && FormOfType(type, form)) {
            if (s.Count++ == s.Want) {
                s.Found = true;
                s.FormAt = pos;
                s.FormSize = size;
                s.Form = form;
                for (auto p = scope.rbegin(); p != scope.rend(); ++p) {
                    if (p->Type == type) {
                        s.Shared.push_back(*p);
                    }
                }
            }
        } else if (id == "PROP" && list) {
            scope.push_back(Prop{type, pos + 12, std::min(end, pos + 8 + size)});
        } else if ((id == "CAT " || id == "LIST") && depth < 8) {
            Walk(pic, s, pos + 12, pos + 8 + size, depth + 1, id == "LIST", scope);
        }
        pos += 8 + size + (size & 1);
    }
    scope.resize(outer);
}

// Chunks a PROP never lends: a FORM's pixels are its own.
bool IsPixelChunk(const std::string &id) {
    return id == "BODY" || id == "ABIT" || id == "RBOD" || id == "DBOD";
}

// Rebuilds the FORM found as one FORM at the cache's start: its chunks up to
// and with its first BMHD (when that comes before its pixels), then the shared
// chunks it lacks, then the rest of its own. The FORM's own BMHD so stays
// ahead of any shared CAMG (a BMHD cancels the mode before it), and a shared
// BMHD comes before everything of the FORM. The result is never longer than
// the file: every shared chunk lies between the group's header and the FORM.
void JoinShared(LoadSession &pic, const Search &s, const DecodeLimits &limits) {
    std::uint8_t *cache = pic.FileCache.data();
    const std::uint64_t from = s.FormAt + 12;
    // A size field short of the FORM's type word gives a FORM of no chunks.
    const std::uint64_t end = std::max(from, std::min(pic.FileLength, s.FormAt + 8 + s.FormSize));
    std::set<std::string> own;
    std::uint64_t insertAt = from;
    bool pixelsMet = false;
    for (std::uint64_t pos = from; pos + 8 <= end;) {
        const std::string id(cache + pos, cache + pos + 4);
        const std::uint64_t size = LongAt(cache + pos + 4);
        own.insert(id);
        pixelsMet = pixelsMet || IsPixelChunk(id);
        if (id == "BMHD" && !pixelsMet && insertAt == from) {
            insertAt = std::min(end, pos + 8 + size + (size & 1));
        }
        pos += 8 + size + (size & 1);
    }
    std::vector<std::uint8_t> joined(cache + s.FormAt, cache + insertAt);
    for (const Prop &prop : s.Shared) {
        std::set<std::string> lent;
        for (std::uint64_t pos = prop.From; pos + 8 <= prop.End;) {
            const std::string id(cache + pos, cache + pos + 4);
            const std::uint64_t size = LongAt(cache + pos + 4);
            if (pos + 8 + size > prop.End) {
                break; // cut off: nothing after it is whole either
            }
            if (own.count(id) == 0 && !IsPixelChunk(id)) {
                joined.insert(joined.end(), cache + pos, cache + pos + 8 + size);
                if (size & 1) {
                    joined.push_back(0);
                }
                lent.insert(id);
            }
            pos += 8 + size + (size & 1);
        }
        own.insert(lent.begin(), lent.end());
    }
    const std::uint64_t added = joined.size() - (insertAt - s.FormAt);
    const std::uint64_t length = joined.size() + (end - insertAt);
    if (length > pic.FileLength || pic.FileLength + 2 + joined.size() > limits.MemoryBytes) {
        throw TambrelError(kErrOutOfMemory,
                           "File too large to read: " + QuotedName(pic.PicturePath));
    }
    std::memmove(cache + joined.size(), cache + insertAt, end - insertAt);
    std::memcpy(cache, joined.data(), joined.size());
    const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.FormSize + added, ~0u));
    for (int i = 0; i < 4; ++i) {
        cache[4 + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }
    cache[length] = cache[length + 1] = 0;
    pic.FileLength = length;
    pic.FormSize = size;
    pic.ReadPos = pic.FirstChunkAt = 12;
}

} // namespace

bool FindPictureInGroup(LoadSession &pic, std::uint64_t end, std::uint32_t index,
                        std::uint32_t &count, const DecodeLimits &limits) {
    Search s;
    s.Want = index;
    std::vector<Prop> scope;
    Walk(pic, s, 12, end, 0,
         pic.FileLength >= 4 && std::memcmp(pic.FileCache.data(), "LIST", 4) == 0, scope);
    count = s.Count;
    if (!s.Found) {
        return false;
    }
    pic.Form = s.Form;
    if (!s.Shared.empty()) {
        JoinShared(pic, s, limits);
        return true;
    }
    // FormSize is set so that FormSize + 8 is the FORM's end, as for a file
    // that is that FORM alone.
    pic.ReadPos = pic.FirstChunkAt = s.FormAt + 12;
    pic.FormSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.FormAt + s.FormSize, ~0u));
    return true;
}

} // namespace tambrel::loader
