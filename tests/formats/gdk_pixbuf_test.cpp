// The gdk-pixbuf loader module through a loader cache of its own, as GTK programs use it.
#include "tests/formats/formats_support.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace tambrel::test {
namespace {

// Makes the loader cache once per test program and points gdk-pixbuf at it.
const TempDir &LoaderCache() {
    static const TempDir dir;
    static const bool made = [] {
        std::string command;
        // A sanitizer build's module needs the sanitizer runtimes in the query program too.
        if (*TAMBREL_SANITIZER_RUNTIMES)
            command = "ASAN_OPTIONS=detect_leaks=0 LD_PRELOAD='" +
                      std::string(TAMBREL_SANITIZER_RUNTIMES) + "' ";
        command += std::string(TAMBREL_QUERY_LOADERS) + " '" + TAMBREL_PIXBUF_MODULE + "' > '" +
                   (dir / "loaders.cache") + "'";
        const bool ok = std::system(command.c_str()) == 0;
        setenv("GDK_PIXBUF_MODULE_FILE", (dir / "loaders.cache").c_str(), 1);
        return ok;
    }();
    EXPECT_TRUE(made);
    return dir;
}

class GdkPixbufModule : public ::testing::TestWithParam<FormatCase> {};

TEST_P(GdkPixbufModule, ReadsThePictureAsTheBitmapShowsIt) {
    const FormatCase &c = GetParam();
    const std::string path = LoaderCache() / "case.iff";
    WriteBytes(path, c.File);
    GdkPixbufFormat *format = gdk_pixbuf_get_file_info(path.c_str(), nullptr, nullptr);
    ASSERT_NE(format, nullptr);
    gchar *name = gdk_pixbuf_format_get_name(format);
    EXPECT_STREQ(name, "ilbm");
    g_free(name);
    GError *error = nullptr;
    GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
    ASSERT_NE(pixbuf, nullptr) << (error ? error->message : "");
    ASSERT_EQ(gdk_pixbuf_get_width(pixbuf), c.Width);
    ASSERT_EQ(gdk_pixbuf_get_height(pixbuf), c.Height);
    EXPECT_EQ(gdk_pixbuf_get_has_alpha(pixbuf), c.Alpha);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    std::vector<std::uint32_t> read;
    for (int y = 0; y < c.Height; ++y) {
        for (int x = 0; x < c.Width; ++x) {
            const guchar *p = gdk_pixbuf_read_pixels(pixbuf) + y * stride + x * channels;
            const std::uint32_t a = channels == 4 ? p[3] : 255;
            read.push_back(a << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]);
        }
    }
    EXPECT_EQ(read, c.Pixels);
    g_object_unref(pixbuf);
}

INSTANTIATE_TEST_SUITE_P(Table, GdkPixbufModule, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return info.param.Name; });

TEST(GdkPixbufModuleHostile, RefusedWithAnError) {
    for (const auto &[name, file] : HostileFiles()) {
        const std::string path = LoaderCache() / (name + ".iff");
        WriteBytes(path, file);
        GError *error = nullptr;
        GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
        EXPECT_EQ(pixbuf, nullptr) << name;
        EXPECT_NE(error, nullptr) << name;
        g_clear_object(&pixbuf);
        g_clear_error(&error);
    }
}

} // namespace
} // namespace tambrel::test
