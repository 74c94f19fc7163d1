// The main window shows every picture kind: PBM, deep 24- and 32-plane ILBM,
// ACBM and a VDAT body, each in its preview with its kind on the panel; the
// raw 8-bit export of a deep picture says why it is refused.
#include "gui_test_util.h"

#include "tests/support/form_writer.h"

namespace tambrel::guitest {
namespace {

using namespace tambrel::test;

// The four quadrant colours of a deep picture.
const std::uint32_t kQuadrants[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

struct KindCase {
    const char *name;
    Bytes file;
    const char *mode;
};

class FormatsWindow : public GuiTest {};

TEST_F(FormatsWindow, PreviewShowsEveryKind) {
    const QuadPicture quad = MakeQuadPicture(64, 48);
    BmhdFields vdat = HeaderFor(quad.Image, true);
    vdat.Packtype = 2;
    std::vector<KindCase> cases = {
        {"Pbm",
         IlbmBuilder()
             .FormType("PBM ")
             .Bmhd(HeaderFor(quad.Image, true))
             .Cmap(quad.Colours)
             .Body(PbmBodyData(quad.Image, true))
             .Build(),
         "Chunky (PBM)"},
        {"Acbm",
         IlbmBuilder()
             .FormType("ACBM")
             .Bmhd(HeaderFor(quad.Image, false))
             .Cmap(quad.Colours)
             .Chunk("ABIT", AbitData(quad.Image))
             .Build(),
         "ACBM (contiguous bit planes)"},
        {"Vdat", IlbmBuilder().Bmhd(vdat).Cmap(quad.Colours).Body(VdatBodyData(quad.Image)).Build(),
         "Vertical RLE (VDAT)"},
    };
    for (int planes : {24, 32}) {
        DeepImage deep{64, 48, planes, {}};
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                deep.Pixels.push_back(kQuadrants[quad.Image.At(x, y) - 1] | 0x80000000u);
        BmhdFields f = HeaderFor(quad.Image, true);
        f.Bitplanes = static_cast<std::uint8_t>(planes);
        cases.push_back({planes == 24 ? "Deep24" : "Deep32",
                         IlbmBuilder().Bmhd(f).Body(DeepBodyData(deep, true)).Build(),
                         planes == 24 ? "Deep 24-bit" : "Deep 32-bit (with alpha)"});
    }
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.name);
        const bool deep = std::string(c.name).rfind("Deep", 0) == 0;
        WriteBytes(Path("k.iff"), c.file);
        LoadViaMenu(Path("k.iff"));
        ASSERT_TRUE(main_->Picture().HasBody());
        // The preview stretches the 66 x 49 work area to 320 x 256: sample the
        // middle of each quadrant.
        const QImage &preview = main_->Picture6()->Image();
        for (int q = 0; q < 4; ++q) {
            const int px = (q % 2 == 0 ? 16 : 48) * 320 / 66, py = (q < 2 ? 12 : 36) * 256 / 49;
            const std::uint32_t expected = deep ? kQuadrants[q] : quad.Colours[1 + q];
            EXPECT_EQ(preview.pixelColor(px, py), Rgb(expected)) << "quadrant " << q;
        }
        bool kindShown = false;
        for (const auto &line : main_->Picture1()->Printed())
            kindShown = kindShown || line.Text.toStdString() == c.mode;
        EXPECT_TRUE(kindShown) << c.mode;
    }
    // The last picture is deep: the raw 8-bit export refuses it with a reason.
    const std::size_t before = tk_.Messages.size();
    tk_.QueueAnswer(IdOk);
    Trigger("mnu_Export_Image_As_Chunky");
    ASSERT_EQ(tk_.Messages.size(), before + 1);
    EXPECT_EQ(tk_.Messages.back().Text, "Can't export: the picture is deep (32 bit planes of "
                                        "true colour) and has no palette indices");
}

} // namespace
} // namespace tambrel::guitest
