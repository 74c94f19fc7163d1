// gdk-pixbuf loader module for Amiga IFF pictures: the bytes are gathered as
// they come and decoded by the core when the host closes the load. Nothing
// escapes into the host as an exception; every refusal is a GError.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "output/picture_pixels.h"
#include "thumbnail/thumbnail.h"

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
};

void SetError(GError **error, GdkPixbufError code, const std::string &text) {
    g_set_error(error, GDK_PIXBUF_ERROR, code, "IFF picture: %s", text.c_str());
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError **error) {
    auto *context =
        new (std::nothrow) LoadContext{sizeFunc, preparedFunc, updatedFunc, userData, {}};
    if (!context) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
    }
    return context;
}

gboolean LoadIncrement(gpointer data, const guchar *buf, guint size, GError **error) {
    auto *context = static_cast<LoadContext *>(data);
    if (context->bytes.size() + size > kMaxSourceBytes) {
        SetError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "file too large");
        return FALSE;
    }
    try {
        context->bytes.insert(context->bytes.end(), buf, buf + size);
    } catch (const std::bad_alloc &) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
        return FALSE;
    }
    return TRUE;
}

gboolean DeliverPicture(LoadContext &context, GError **error) {
    auto pic = std::make_unique<IFF_Picture>();
    const std::string reason = DecodeForDesktop(*pic, context.bytes);
    std::vector<std::uint8_t>().swap(context.bytes);
    if (!reason.empty()) {
        SetError(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, reason);
        return FALSE;
    }
    const int width = pic->Width;
    const int height = pic->Height;
    if (context.sizeFunc) {
        int askedWidth = width;
        int askedHeight = height;
        context.sizeFunc(&askedWidth, &askedHeight, context.userData);
        if (askedWidth == 0 || askedHeight == 0) {
            return TRUE; // the host wanted the size only
        }
    }
    const bool alpha = HasTransparency(*pic);
    GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    if (!pixbuf) {
        SetError(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the pixels");
        return FALSE;
    }
    guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
    const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    for (int y = 0; y < height; ++y) {
        if (alpha) {
            RgbaRow(*pic, y, pixels + stride * static_cast<std::size_t>(y));
        } else {
            RgbRow(*pic, y, pixels + stride * static_cast<std::size_t>(y));
        }
    }
    pic.reset();
    if (context.preparedFunc) {
        context.preparedFunc(pixbuf, nullptr, context.userData);
    }
    if (context.updatedFunc) {
        context.updatedFunc(pixbuf, 0, 0, width, height, context.userData);
    }
    g_object_unref(pixbuf);
    return TRUE;
}

gboolean StopLoad(gpointer data, GError **error) {
    std::unique_ptr<LoadContext> context(static_cast<LoadContext *>(data));
    try {
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
        {nullptr, nullptr, 0},
    };
    static const gchar *mimeTypes[] = {"image/x-ilbm", nullptr};
    static const gchar *extensions[] = {"iff", "ilbm", "lbm", nullptr};
    info->name = const_cast<gchar *>("ilbm");
    info->signature = signature;
    info->description = const_cast<gchar *>("Amiga IFF picture (ILBM, PBM, ACBM)");
    info->mime_types = const_cast<gchar **>(mimeTypes);
    info->extensions = const_cast<gchar **>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar *>("MIT");
}

} // extern "C"
