// The filter, NUL and rounding helpers, and cCommonDialog's in/out rules driven
// through scripted dialog answers.
#include "dialogs/common_dialog.h"
#include "dialogs/scripted_dialog_backend.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <tuple>

using namespace std::string_literals;

namespace tambrel {
namespace {

const std::string kLoadFilter = "(*.Iff)|*.iff|(*.*)|*.*|";

TEST(FilterText, ConvertLookupTrimAndRound) {
    const std::pair<std::string, std::string> converted[] = {
        {"(*.txt)|*.txt|", "(*.txt)\0*.txt\0\0\0"s},
        {kDefaultFileFilter, "All (*.*)\0 *.*\0\0"s}, // the blank is kept
        {"", "\0\0"s},
        {"a:b|c", "a\0b\0c\0\0"s}};
    for (const auto &[in, out] : converted)
        EXPECT_EQ(ConvertFilter(in), out) << in;
    // Pairs are read up to the empty description the trailing bar leaves.
    EXPECT_EQ(SplitConvertedFilter(ConvertFilter(kLoadFilter)),
              (std::vector<FilterEntry>{{"(*.Iff)", "*.iff"}, {"(*.*)", "*.*"}}));

    const std::string load = ConvertFilter(kLoadFilter), all = ConvertFilter(kDefaultFileFilter);
    const std::tuple<std::string, std::int32_t, std::string> lookups[] = {
        {"", 1, ""},
        {load, 0, ""},
        {load, -3, ""},
        {load, 1, "(*.Iff)\0*.iff"s},
        {load, 2, "(*.*)\0*.*"s},
        {load, 3, "\0"s}, // the two closing NULs form an empty piece
        {all, 1, "All (*.*)\0 *.*"s},
        {all, 2, "\0"s},              // the last NUL has no partner: the rest of the text
        {all, 3, "All (*.*)\0 *.*"s}, // and the walk starts again at the beginning
        {"no nul at all", 1, ""}};
    for (const auto &[text, index, expected] : lookups)
        EXPECT_EQ(FilterLookup(text, index), expected) << TrimAtNul(text) << " #" << index;
    EXPECT_EQ(TrimAtNul("abc\0def\0"s) + "|" + TrimAtNul("abc") + "|" + TrimAtNul("\0abc"s),
              "abc|abc|");
    EXPECT_EQ(FileTitleOfPath("/home/user/"), "");

    const std::pair<double, std::int32_t> rounded[] = {
        {0.5, 0},   {1.5, 2},           {2.5, 2},
        {-1.5, -2}, {-2.5, -2},         {2.5001, 3},
        {-2.6, -3}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}};
    for (auto [value, expected] : rounded)
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    EXPECT_EQ(MarginToDialog(3000000, 0), 2147483647); // clamped, not wrapped
    EXPECT_EQ(LogFontHeight(3.0, 8), -8);              // 7.5 goes to the even 8
    EXPECT_EQ(LogFontHeight(12.0, 0), -16);            // a broken screen value falls back to 15
}

class CommonDialogTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(backend_.UnexpectedDialogs().empty()); }
    std::string PathIn(const std::string &name) const { return dir_ + "/" + name; }
    std::string MakeFile(const std::string &name) {
        std::ofstream(PathIn(name)) << "x";
        return PathIn(name);
    }

    QTemporaryDir tmp_;
    std::string dir_ = tmp_.path().toStdString();
    ScriptedDialogBackend backend_;
    ScopedDialogBackend scope_{backend_};
};

TEST_F(CommonDialogTest, FileDialogOutcomes) {
    MakeFile("pic.iff");
    MakeFile("pic.IFF");
    std::filesystem::create_directory(PathIn("folder.iff"));
    const std::string iff = "(*.Iff)\0*.iff"s, all = "(*.*)\0*.*"s;
    struct Case {
        bool save, accepted;
        std::string typed, ext;
        bool mustExistOrPrompt;
        std::int32_t chosen;
        std::string expected; // empty: refused
        std::int32_t filterIndex;
        std::string filter;
    } cases[] = {
        {false, true, "pic.iff", "IFF", true, 1, "pic.iff", 1, iff},
        {false, true, "pic.iff", "IFF", true, 2, "pic.iff", 2, all},
        {false, true, "pic", "IFF", true, 1, "pic.IFF", 1, iff}, // extension before the check
        {false, true, "missing.iff", "", true, 1, "", -1, ""},
        {false, true, "folder.iff", "", true, 1, "", -1, ""},
        {false, true, "missing.iff", "", false, 1, "missing.iff", 1, iff},
        {false, false, "pic.iff", "", true, 1, "", -1, ""},
        {false, true, "", "", false, 1, "", -1, ""}, // accepted without a name
        {true, false, "out.bmp", "bmp", true, 1, "", 0, ""},
        {true, true, "", "bmp", true, 1, "", 0, ""},
        {true, true, "boat", "bmp", true, 2, "boat.bmp", 2, all},
        {true, true, "boat.BMP", "bmp", false, 1, "boat.BMP", 1, iff},
        {true, true, "my.pics/pal", ".TXT", true, 1, "my.pics/pal.TXT", 1, iff}, // folder's dot
        {true, true, "boat", "", false, 1, "boat", 1, iff}};
    cCommonDialog dlg; // one object: every call sets APIReturn afresh
    for (const Case &c : cases) {
        SCOPED_TRACE((c.save ? "save " : "open ") + c.typed + " / " + c.ext);
        backend_.QueueFileAnswer(c.accepted, c.typed.empty() ? "" : PathIn(c.typed), c.chosen);
        const bool ok = !c.expected.empty();
        // Started over stale outputs, as the load and save commands do.
        auto check = [&](auto &a, bool shown) {
            EXPECT_EQ(shown, ok);
            EXPECT_EQ(dlg.APIReturn(), ok ? 1 : 0);
            EXPECT_EQ(a.Filename, ok ? PathIn(c.expected) : "");
            EXPECT_EQ(a.FileTitle.empty(), !ok);
            EXPECT_EQ(a.FilterIndex, c.filterIndex);
            EXPECT_EQ(a.Filter, c.filter);
            EXPECT_EQ(a.flags & 0x800, ok ? 0x800 : 0); // the caller's own bit kept when confirmed
        };
        auto prepare = [&](auto &a) {
            a.Filename = a.FileTitle = "old";
            a.Filter = kLoadFilter;
            a.FilterIndex = 2;
            a.flags = 0x800;
            a.DefaultExt = c.ext;
        };
        if (c.save) {
            cCommonDialog::SaveArgs a;
            prepare(a);
            a.OverWritePrompt = c.mustExistOrPrompt;
            check(a, dlg.VBGetSaveFileName(a));
            EXPECT_EQ(backend_.FileRequests().back().overwritePrompt, c.mustExistOrPrompt);
            EXPECT_EQ((a.flags & kOfnOverwritePrompt) != 0, ok && c.mustExistOrPrompt);
        } else {
            cCommonDialog::OpenArgs a;
            prepare(a);
            a.FileMustExist = c.mustExistOrPrompt;
            check(a, dlg.VBGetOpenFileName(a));
        }
        EXPECT_EQ(backend_.FileRequests().back().save, c.save);
    }
}

TEST_F(CommonDialogTest, OpenRequestAndReadOnlyTick) {
    QWidget owner;
    backend_.QueueFileAnswer(true, MakeFile("pic.iff"), 1, true);
    cCommonDialog::OpenArgs a;
    a.Filter = kLoadFilter;
    a.InitDir = dir_;
    a.Owner = &owner;
    a.flags = kOfnEnableHook | kOfnEnableTemplate | 0x800; // hook bits never reach the dialog
    ASSERT_TRUE(cCommonDialog().VBGetOpenFileName(a));
    EXPECT_TRUE(a.ReadOnly);
    EXPECT_EQ(a.flags, 0x800 | kOfnFileMustExist | kOfnReadOnly);
    const FileDialogRequest &req = backend_.FileRequests().back();
    EXPECT_EQ(req.convertedFilter, "(*.Iff)\0*.iff\0(*.*)\0*.*\0\0\0"s);
    EXPECT_EQ(req.flags, 0x800 | kOfnFileMustExist);
    EXPECT_TRUE(req.fileMustExist && !req.readOnly);
    EXPECT_EQ(std::pair(req.initDir, req.owner), std::pair(dir_, &owner));
    EXPECT_EQ(cCommonDialog().VBGetFileTitle(PathIn("pic.iff")), "pic.iff");
}

TEST_F(CommonDialogTest, ColoursMinusOneOnCancelAndCustomColoursKeptInRange) {
    backend_.SetSystemColour(15, 0xABCDEF);
    ColourDialogAnswer answer, failed;
    answer.accepted = true;
    answer.colour = 0xFF8000;
    answer.customColours.fill(0x050505);
    failed.extendedError = 0xFFFF;
    backend_.QueueColourAnswer(false);
    backend_.QueueColourAnswer(answer);
    backend_.QueueColourAnswer(failed);
    cCommonDialog dlg;
    dlg.CustomColor(16, 0x111111); // ignored
    dlg.CustomColor(-1, 0x222222); // ignored
    dlg.CustomColor(7, 0x00FF00);
    for (auto [index, expected] :
         {std::pair(15, 0xABCDEF), std::pair(7, 0x00FF00), std::pair(16, -1), std::pair(-1, -1)})
        EXPECT_EQ(dlg.CustomColor(index), expected) << index;
    std::int32_t colour = 0x102030;
    EXPECT_FALSE(dlg.VBChooseColor(colour));
    EXPECT_EQ(colour, -1);
    EXPECT_EQ(backend_.ColourRequests().at(0).colour, 0x102030u);
    EXPECT_EQ(backend_.ColourRequests().at(0).customColours[7], 0x00FF00u);
    EXPECT_TRUE(dlg.VBChooseColor(colour));
    EXPECT_EQ(colour, 0xFF8000);
    EXPECT_EQ(dlg.CustomColor(5), 0x050505); // the dialog's table outlives it
    EXPECT_FALSE(dlg.VBChooseColor(colour));
    EXPECT_EQ(std::pair(colour, dlg.ExtendedError()), std::pair(-1, 0xFFFF));
}

class RecordingPrinter : public PrinterObject {
  public:
    void SetProperty(const std::string &name, std::int32_t value) override {
        calls.emplace_back(name, value);
        if (name == "Orientation") // one failing property must not stop the others
            throw std::runtime_error("no such property");
    }
    std::vector<std::pair<std::string, std::int32_t>> calls;
};

// Left, MinLeft, Right, MinRight, Top, MinTop, Bottom, MinBottom, PaperSize,
// Orientation, PrintQuality.
using PageValues = std::array<std::int32_t, 11>;

bool PageSetup(cCommonDialog &dlg, PageValues &m, std::int32_t units, PrinterObject *printer) {
    return dlg.VBPageSetupDlg(nullptr, false, true, false, false, m[0], m[1], m[2], m[3], m[4],
                              m[5], m[6], m[7], m[8], m[9], m[10], units, printer, 0);
}

TEST_F(CommonDialogTest, PageSetupScalesMarginsAndRoundsHalvesToEven) {
    for (auto [units, scale] : {std::pair(0, 1000), std::pair(1, 100), std::pair(-7, 100)}) {
        SCOPED_TRACE(units);
        PageSetupAnswer answer;
        answer.accepted = true;
        // 1.5, 2.5, 3.5 and 1.499 of the caller's unit; a minimum of 0.5.
        answer.margins = {15 * scale / 10, 25 * scale / 10, 35 * scale / 10, 1499 * scale / 1000};
        answer.minMargins = {scale / 2, 0, 0, 0};
        answer.settings = {1, 2, 9, 300, 0};
        backend_.QueuePageSetupAnswer(answer);
        cCommonDialog dlg;
        RecordingPrinter printer;
        PageValues m = {1, 1, 2, 0, 3, 0, 4, 0, 1, 1, -1};
        ASSERT_TRUE(PageSetup(dlg, m, units, &printer));
        const PageSetupRequest &req = backend_.PageSetupRequests().back();
        EXPECT_EQ(req.margins, (PageMargins{scale, 3 * scale, 2 * scale, 4 * scale}));
        EXPECT_EQ(req.minMargins.left, scale);
        EXPECT_EQ(req.flags & (kPsdInThousandthsOfInches | kPsdInHundredthsOfMillimeters),
                  units ? kPsdInHundredthsOfMillimeters : kPsdInThousandthsOfInches);
        EXPECT_EQ(m, (PageValues{2, 0, 4, 0, 2, 0, 1, 0, 9, 2, 300}));
        EXPECT_EQ(dlg.APIReturn(), 1);
        EXPECT_EQ(printer.calls.size(), 4u); // the others after the failing one
    }
    backend_.QueuePageSetupAnswer(PageSetupAnswer{}); // cancelled: everything stays
    cCommonDialog dlg;
    PageValues m = {7, 0, 0, 0, 0, 0, 0, 0, 5, 1, -1};
    EXPECT_FALSE(PageSetup(dlg, m, 0, nullptr));
    EXPECT_EQ(m, (PageValues{7, 0, 0, 0, 0, 0, 0, 0, 5, 1, -1}));
    EXPECT_EQ(dlg.APIReturn(), 0);
}

} // namespace
} // namespace tambrel
