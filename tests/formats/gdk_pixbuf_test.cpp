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

// A size query reads the header only; a host asking for a small picture gets
// it scaled as rows are decoded; a foreign file is refused on its first bytes.
TEST(GdkPixbufModuleLimits, SizeQueryScaledLoadAndForeignFile) {
    const std::string cap = LoaderCache() / "cap.iff", tiny = LoaderCache() / "tiny.iff";
    WriteBytes(cap, TinyBodyPicture(32760, 32767));
    WriteBytes(tiny, TinyBodyPicture(4000, 4000));
    const long before = PeakMiB();
    int width = 0, height = 0;
    ASSERT_NE(gdk_pixbuf_get_file_info(cap.c_str(), &width, &height), nullptr);
    EXPECT_EQ(width, 32760);
    EXPECT_EQ(height, 32767);
    GdkPixbuf *small = gdk_pixbuf_new_from_file_at_size(tiny.c_str(), 100, 100, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(small), 100);
    const guchar *p = gdk_pixbuf_read_pixels(small) + 99 * gdk_pixbuf_get_rowstride(small);
    EXPECT_EQ(p[0] << 16 | p[1] << 8 | p[2], 0x336699);
    g_object_unref(small);
    // Decoded whole, the 4000 x 4000 picture would take 80 MB.
    EXPECT_LT(PeakMiB() - before, 40);
    GError *error = nullptr;
    GdkPixbufLoader *loader = gdk_pixbuf_loader_new_with_type("ilbm", nullptr);
    const Bytes head(12, 0);
    EXPECT_FALSE(gdk_pixbuf_loader_write(loader, head.data(), head.size(), &error));
    ASSERT_NE(error, nullptr);
    g_clear_error(&error);
    gdk_pixbuf_loader_close(loader, nullptr);
    g_object_unref(loader);
}

} // namespace
} // namespace tambrel::test
