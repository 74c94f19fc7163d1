// gdk-pixbuf loader module for Amiga IFF pictures. A foreign file is refused
// on its first 12 bytes; a picture's bytes are gathered up to its FORM's end
// (no further), its size goes to the host as soon as the header has come, and
// it is decoded when the host closes the load: at the size the host asked for,
// rows scaled as they are decoded, or whole. Nothing escapes into the host as
// an exception; every refusal is a GError.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "convert/convert.h"
#include "convert/desktop_read.h"
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace tambrel;

struct LoadContext {
    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    std::vector<std::uint8_t> bytes;
    std::uint64_t formEnd = 0; // bytes of the file that belong to the picture
    bool sized = false;        // the host has been told the size
    int askedWidth = 0, askedHeight = 0;
};

void SetError(GError **error, GdkPixbufError code, const std::string &text) {
    g_set_error(error, GDK_PIXBUF_ERROR, code, "IFF picture: %s", text.c_str());
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError **error) {
    auto *context = new (std::nothrow)
        LoadContext{sizeFunc, preparedFunc, updatedFunc, userData, {}, 0, false, 0, 0};
    if (!context) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
    }
    return context;
}

// Tells the host the header's size once the BMHD has come; the host may
// answer with the size it wants, or 0 x 0 when it wanted the size only.
void TellSize(LoadContext &context) {
    PictureHeader header;
    if (context.sized || !ReadPictureHeader(context.bytes, header)) {
        return;
    }
    context.sized = true;
    context.askedWidth = header.Width;
    context.askedHeight = header.Height;
    if (context.sizeFunc) {
        context.sizeFunc(&context.askedWidth, &context.askedHeight, context.userData);
    }
}

gboolean LoadIncrement(gpointer data, const guchar *buf, guint size, GError **error) {
    auto *context = static_cast<LoadContext *>(data);
    try {
        std::vector<std::uint8_t> &bytes = context->bytes;
        const std::size_t had = bytes.size();
        if (had < 12) {
            const std::size_t take = std::min<std::size_t>(12 - had, size);
            bytes.insert(bytes.end(), buf, buf + take);
            buf += take;
            size -= static_cast<guint>(take);
            if (bytes.size() < 12) {
                return TRUE;
            }
            if (!IsPictureHeader(bytes)) {
                SetError(error, GDK_PIXBUF_ERROR_UNKNOWN_TYPE, NotPictureReason());
                return FALSE;
            }
            context->formEnd = 8 + (std::uint64_t{bytes[4]} << 24 | std::uint64_t{bytes[5]} << 16 |
                                    bytes[6] << 8 | bytes[7]);
            if (context->formEnd > DesktopLimits().SourceBytes) {
                SetError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "file too large");
                return FALSE;
            }
        }
        // Bytes past the FORM's end are no part of the picture.
        const std::uint64_t room =
            context->formEnd > bytes.size() ? context->formEnd - bytes.size() : 0;
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(room, size));
        bytes.insert(bytes.end(), buf, buf + take);
        TellSize(*context);
    } catch (const std::bad_alloc &) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
        return FALSE;
    }
    return TRUE;
}

// Rows straight into a pixbuf of the picture's size.
class PixbufRows : public RowSink {
  public:
    ~PixbufRows() override {
        if (pixbuf) {
            g_object_unref(pixbuf);
        }
    }
    void Begin(const IFF_Picture &pic) override {
        alpha_ = HasTransparency(pic);
        pixbuf =
            gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha_, 8, pic.DecodedWidth(), pic.DecodedHeight());
        if (!pixbuf) {
            throw TambrelError(kErrOutOfMemory, "not enough memory for the pixels");
        }
        pixels_ = gdk_pixbuf_get_pixels(pixbuf);
        stride_ = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    }
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override {
        guchar *row = pixels_ + stride_ * static_cast<std::size_t>(y);
        if (alpha_) {
            RgbaRow(pic, y, row);
        } else {
            RgbRow(pic, y, row);
        }
    }
    GdkPixbuf *pixbuf = nullptr;

  private:
    bool alpha_ = false;
    guchar *pixels_ = nullptr;
    std::size_t stride_ = 0;
};

void FreePixels(guchar *pixels, gpointer) {
    g_free(pixels);
}

// A pixbuf of the scaled image (which it takes over).
GdkPixbuf *PixbufOf(RgbaPixels &scaled) {
    const std::size_t bytes = scaled.Pixels.size();
    auto *pixels = static_cast<guchar *>(g_try_malloc(bytes ? bytes : 1));
    if (!pixels) {
        return nullptr;
    }
    std::copy(scaled.Pixels.begin(), scaled.Pixels.end(), pixels);
    return gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, TRUE, 8,
                                    static_cast<int>(scaled.Width), static_cast<int>(scaled.Height),
                                    static_cast<int>(4 * scaled.Width), FreePixels, nullptr);
}

gboolean DeliverPicture(LoadContext &context, GError **error) {
    TellSize(context);
    if (context.sized && (context.askedWidth <= 0 || context.askedHeight <= 0)) {
        return TRUE; // the host wanted the size only
    }
    PictureHeader header;
    const bool known = ReadPictureHeader(context.bytes, header);
    // A host that asked for a smaller picture gets it scaled as rows are decoded.
    const bool scale = known && context.sized &&
                       (context.askedWidth < header.Width || context.askedHeight < header.Height);
    IFF_Picture pic;
    PixbufRows whole;
    ScaledRows scaled(
        static_cast<std::uint32_t>(std::max(context.askedWidth, context.askedHeight)));
    RowSink &sink = scale ? static_cast<RowSink &>(scaled) : whole;
    const std::string reason = DecodeForDesktop(pic, context.bytes, sink);
    std::vector<std::uint8_t>().swap(context.bytes);
    if (!reason.empty()) {
        SetError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, reason);
        return FALSE;
    }
    GdkPixbuf *pixbuf = nullptr;
    if (scale) {
        RgbaPixels image = scaled.Take();
        pixbuf = PixbufOf(image);
    } else {
        pixbuf = whole.pixbuf;
        whole.pixbuf = nullptr;
    }
    if (!pixbuf) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the pixels");
        return FALSE;
    }
    if (context.preparedFunc) {
        context.preparedFunc(pixbuf, nullptr, context.userData);
    }
    if (context.updatedFunc) {
        context.updatedFunc(pixbuf, 0, 0, gdk_pixbuf_get_width(pixbuf),
                            gdk_pixbuf_get_height(pixbuf), context.userData);
    }
    g_object_unref(pixbuf);
    return TRUE;
}

gboolean StopLoad(gpointer data, GError **error) {
    std::unique_ptr<LoadContext> context(static_cast<LoadContext *>(data));
    try {
        if (context->bytes.size() < 12) {
            SetError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, NotPictureReason());
            return FALSE;
        }
        return DeliverPicture(*context, error);
    } catch (const std::bad_alloc &) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
    } catch (const std::exception &e) {
        SetError(error, GDK_PIXBUF_ERROR_FAILED, e.what());
    }
    return FALSE;
}

} // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule *module) {
    module->begin_load = BeginLoad;
    module->stop_load = StopLoad;
    module->load_increment = LoadIncrement;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat *info) {
    // "FORM", any size, then the FORM type.
    static GdkPixbufModulePattern signature[] = {
        {const_cast<gchar *>("FORM    ILBM"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    PBM "), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    ACBM"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    RGFX"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    DEEP"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    TVPP"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    RGB8"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("FORM    RGBN"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("CAT     ILBM"), const_cast<gchar *>("    ****    "), 100},
        {const_cast<gchar *>("LIST    ILBM"), const_cast<gchar *>("    ****    "), 100},
        {nullptr, nullptr, 0},
    };
    // The shared MIME database calls ACBM and PBM files (and some ILBMs)
    // application/x-iff; the pattern above keeps other IFF files out.
    static const gchar *mimeTypes[] = {"image/x-ilbm", "application/x-iff", nullptr};
    static const gchar *extensions[] = {"iff", "ilbm", "lbm", "acbm", nullptr};
    info->name = const_cast<gchar *>("ilbm");
    info->signature = signature;
    info->description =
        const_cast<gchar *>("Amiga IFF picture (ILBM, PBM, ACBM, RGFX, DEEP, RGB8, RGBN)");
    info->mime_types = const_cast<gchar **>(mimeTypes);
    info->extensions = const_cast<gchar **>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar *>("MIT");
}

} // extern "C"
