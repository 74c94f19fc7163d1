// libFuzzer entry: the gdk-pixbuf loader module's incremental load, as a GTK
// program drives it: begin_load, load_increment in pieces, stop_load. The
// module's source is linked in and reached through fill_vtable only. The last
// bytes of the input choose the piece sizes and what the size callback asks
// for: the picture's own size, the size only (0 x 0), a smaller or a larger one.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "fuzz/fuzz_checks.h"
#include "fuzz/fuzz_harness.h"

#include <algorithm>

extern "C" void fill_vtable(GdkPixbufModule *module);

namespace {

using tambrel::fuzz::Check;
using tambrel::fuzz::TailByte;

// Pictures larger than this are legal, but a full-size pixbuf of each would
// only measure the machine's memory.
constexpr std::uint64_t kLoaderPixelLimit = std::uint64_t{1} << 18;

struct Host {
    std::uint8_t mode = 0;
    std::uint8_t pick = 0;
    int sizeCalls = 0;
    int headerWidth = 0, headerHeight = 0;
    int askedWidth = 0, askedHeight = 0;
    int prepared = 0, updated = 0;
    int pixbufWidth = 0, pixbufHeight = 0;
};

void SizeFunc(gint *width, gint *height, gpointer data) {
    auto &host = *static_cast<Host *>(data);
    ++host.sizeCalls;
    host.headerWidth = *width;
    host.headerHeight = *height;
    switch (host.mode % 5) {
    case 0: // the picture's own size
        break;
    case 1: // the size only, as a file dialog asks
        *width = 0;
        *height = 0;
        break;
    case 2: // half the size, as a thumbnailer asks
        *width = std::max(1, *width / 2);
        *height = std::max(1, *height / 2);
        break;
    case 3: // any smaller size
        *width = 1 + host.pick % std::max(1, *width);
        *height = 1 + host.pick % std::max(1, *height);
        break;
    default: // a larger size: the picture comes whole
        *width += host.pick;
        *height += host.pick;
        break;
    }
    host.askedWidth = *width;
    host.askedHeight = *height;
}

void PreparedFunc(GdkPixbuf *pixbuf, GdkPixbufAnimation *, gpointer data) {
    auto &host = *static_cast<Host *>(data);
    ++host.prepared;
    host.pixbufWidth = gdk_pixbuf_get_width(pixbuf);
    host.pixbufHeight = gdk_pixbuf_get_height(pixbuf);
    Check(host.pixbufWidth >= 1 && host.pixbufHeight >= 1, "empty pixbuf handed to the host");
    // Every byte the pixbuf claims to hold must be there.
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guint8 *pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < host.pixbufHeight; ++y) {
        tambrel::fuzz::Touch(pixels + static_cast<std::size_t>(y) * stride,
                             static_cast<std::size_t>(host.pixbufWidth) * channels);
    }
}

void UpdatedFunc(GdkPixbuf *pixbuf, int x, int y, int width, int height, gpointer data) {
    auto &host = *static_cast<Host *>(data);
    ++host.updated;
    Check(x == 0 && y == 0 && width == gdk_pixbuf_get_width(pixbuf) &&
              height == gdk_pixbuf_get_height(pixbuf),
          "update does not cover the pixbuf");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (tambrel::fuzz::LargestDeclaredPixels(bytes) > kLoaderPixelLimit) {
        return 0;
    }
    static GdkPixbufModule module = [] {
        GdkPixbufModule m{};
        fill_vtable(&m);
        return m;
    }();
    Check(module.begin_load && module.load_increment && module.stop_load,
          "the module fills no incremental entry points");

    Host host;
    host.mode = TailByte(bytes, 0);
    host.pick = TailByte(bytes, 1);
    GError *error = nullptr;
    gpointer context = module.begin_load(SizeFunc, PreparedFunc, UpdatedFunc, &host, &error);
    Check(context != nullptr && error == nullptr, "begin_load failed");

    // Piece sizes from the bytes before those two, 1 to 256 bytes each (and
    // now and then an empty piece), cycling.
    bool failed = false;
    std::size_t pos = 0;
    for (std::size_t k = 2; pos < size && !failed; ++k) {
        const std::uint8_t b = TailByte(bytes, 2 + k % 6);
        const std::size_t piece = b == 0xFF ? 0 : std::min<std::size_t>(1 + b, size - pos);
        if (!module.load_increment(context, data + pos, static_cast<guint>(piece), &error)) {
            Check(error != nullptr, "load_increment failed without an error");
            g_clear_error(&error);
            failed = true;
        }
        pos += piece;
        if (piece == 0 && k > 64) {
            pos = size; // only empty pieces: give up
        }
    }
    const gboolean stopped = module.stop_load(context, &error);
    Check(stopped == (error == nullptr), "stop_load's result and error disagree");
    g_clear_error(&error);

    Check(host.sizeCalls <= 1, "the size callback was called more than once");
    Check(host.prepared <= 1 && host.updated == host.prepared, "prepared and updated calls differ");
    const bool sizeOnly = host.sizeCalls && (host.askedWidth <= 0 || host.askedHeight <= 0);
    Check(!stopped || sizeOnly || host.prepared == 1, "a load that succeeded gave no pixbuf");
    if (host.prepared) {
        Check(!failed && stopped, "a pixbuf for a failed load");
        Check(host.sizeCalls == 0 || (host.askedWidth > 0 && host.askedHeight > 0),
              "a pixbuf although the size only was asked for");
        if (host.sizeCalls &&
            (host.askedWidth < host.headerWidth || host.askedHeight < host.headerHeight)) {
            const int box = std::max(host.askedWidth, host.askedHeight);
            Check(host.pixbufWidth <= box && host.pixbufHeight <= box,
                  "scaled pixbuf larger than asked");
        }
    }
    return 0;
}
