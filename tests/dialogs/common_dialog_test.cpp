// cCommonDialog's in/out rules, driven through scripted dialog answers.
#include "dialogs/common_dialog.h"
#include "dialogs/scripted_dialog_backend.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace tambrel {
namespace {

const std::string kLoadFilter = "(*"s + ".Iff" + ")|*.iff|(*.*)|*.*|";

class CommonDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tambrel_dialogs_" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        EXPECT_TRUE(backend_.UnexpectedDialogs().empty());
        fs::remove_all(dir_);
    }
    std::string MakeFile(const std::string &name) {
        std::ofstream(dir_ / name) << "x";
        return (dir_ / name).string();
    }
    std::string PathIn(const std::string &name) const { return (dir_ / name).string(); }

    // The load command's call.
    bool Load(cCommonDialog &dlg, std::string &filename, std::string &filter,
              std::int32_t &filterIndex, std::int32_t &flags, std::string &title) {
        bool mustExist = true, multi = false, readOnly = false, hide = false;
        std::string initDir, dlgTitle, defaultExt = "IFF";
        filter = kLoadFilter;
        filterIndex = 1;
        flags = kOfnHideReadOnly;
        return dlg.VBGetOpenFileName(filename, title, mustExist, multi, readOnly, hide, filter,
                                     filterIndex, initDir, dlgTitle, defaultExt, nullptr, flags);
    }

    fs::path dir_;
    ScriptedDialogBackend backend_;
    ScopedDialogBackend scope_{backend_};
};

TEST_F(CommonDialogTest, OpenAcceptedFillsEveryOutput) {
    std::string path = MakeFile("pic.iff");
    for (int chosen : {1, 2}) {
        SCOPED_TRACE(chosen);
        backend_.QueueFileAnswer(true, path, chosen);
        cCommonDialog dlg;
        std::string filename, filter, title;
        std::int32_t index = 0, flags = 0;
        ASSERT_TRUE(Load(dlg, filename, filter, index, flags, title));
        EXPECT_EQ(dlg.APIReturn(), 1);
        EXPECT_EQ(dlg.ExtendedError(), 0);
        EXPECT_EQ(filename, path);
        EXPECT_EQ(title, "pic.iff");
        EXPECT_EQ(index, chosen);
        EXPECT_EQ(filter, chosen == 1 ? "(*.Iff)\0*.iff"s : "(*.*)\0*.*"s);
        EXPECT_EQ(flags, kOfnHideReadOnly | kOfnFileMustExist);
    }
    ASSERT_EQ(backend_.FileRequests().size(), 2u);
    const FileDialogRequest &req = backend_.FileRequests()[0];
    EXPECT_FALSE(req.save);
    EXPECT_EQ(req.convertedFilter, "(*.Iff)\0*.iff\0(*.*)\0*.*\0\0\0"s);
    ASSERT_EQ(req.filters.size(), 2u);
    EXPECT_EQ(req.filters[0], (FilterEntry{"(*.Iff)", "*.iff"}));
    EXPECT_EQ(req.filterIndex, 1);
    EXPECT_EQ(req.defaultExt, "IFF");
    EXPECT_TRUE(req.fileMustExist);
    EXPECT_TRUE(req.hideReadOnly);
    EXPECT_FALSE(req.multiSelect);
    EXPECT_FALSE(req.overwritePrompt);
    EXPECT_EQ(req.owner, nullptr);
}

TEST_F(CommonDialogTest, CancelledOpenAndSaveClearOutputs) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save);
        backend_.QueueFileAnswer(false, "");
        cCommonDialog dlg;
        std::string filename = "old", title = "old title", filter = kLoadFilter;
        std::string initDir, dlgTitle, ext = "bmp";
        std::int32_t index = 2, flags = 0x800;
        bool result;
        if (save) {
            bool overwrite = true;
            result = dlg.VBGetSaveFileName(filename, title, overwrite, filter, index, initDir,
                                           dlgTitle, ext, nullptr, flags);
        } else {
            bool mustExist = true, multi = false, readOnly = false, hide = false;
            result = dlg.VBGetOpenFileName(filename, title, mustExist, multi, readOnly, hide,
                                           filter, index, initDir, dlgTitle, ext, nullptr, flags);
        }
        EXPECT_FALSE(result);
        EXPECT_EQ(dlg.APIReturn(), 0);
        EXPECT_EQ(dlg.ExtendedError(), 0);
        EXPECT_EQ(filename, "");
        EXPECT_EQ(title, "");
        EXPECT_EQ(filter, "");
        EXPECT_EQ(flags, 0);
        EXPECT_EQ(index, save ? 0 : -1);
    }
}

TEST_F(CommonDialogTest, InputsReachTheDialog) {
    QWidget owner;
    backend_.QueueFileAnswer(false, "");
    cCommonDialog dlg;
    std::string filename = "start.iff", title, filter = kDefaultFileFilter;
    std::string initDir = dir_.string(), dlgTitle = "Pick one", ext;
    std::int32_t index = 3, flags = kOfnEnableHook | kOfnEnableTemplate | 0x800;
    bool mustExist = false, multi = true, readOnly = true, hide = false;
    dlg.VBGetOpenFileName(filename, title, mustExist, multi, readOnly, hide, filter, index, initDir,
                          dlgTitle, ext, &owner, flags);
    ASSERT_EQ(backend_.FileRequests().size(), 1u);
    const FileDialogRequest &req = backend_.FileRequests()[0];
    EXPECT_EQ(req.fileName, "start.iff");
    EXPECT_EQ(req.initDir, dir_.string());
    EXPECT_EQ(req.title, "Pick one");
    EXPECT_EQ(req.filterIndex, 3);
    EXPECT_EQ(req.owner, &owner);
    EXPECT_EQ(req.convertedFilter, "All (*.*)\0 *.*\0\0"s);
    // Hook and template bits never reach the dialog; the others do.
    EXPECT_EQ(req.flags, 0x800 | kOfnAllowMultiSelect | kOfnReadOnly);
    EXPECT_TRUE(req.multiSelect);
    EXPECT_TRUE(req.readOnly);
    EXPECT_FALSE(req.fileMustExist);
}

TEST_F(CommonDialogTest, SaveAsksForOverwritePromptOnlyWhenWanted) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite);
        backend_.QueueFileAnswer(true, PathIn("out.bmp"));
        cCommonDialog dlg;
        std::string filename, title, filter = "(*.bmp)|*.bmp|", initDir, dlgTitle, ext = "bmp";
        std::int32_t index = 1, flags = kOfnEnableTemplate;
        ASSERT_TRUE(dlg.VBGetSaveFileName(filename, title, overwrite, filter, index, initDir,
                                          dlgTitle, ext, nullptr, flags));
        const FileDialogRequest &req = backend_.FileRequests().back();
        EXPECT_TRUE(req.save);
        EXPECT_EQ(req.overwritePrompt, overwrite);
        EXPECT_FALSE(req.fileMustExist); // a new file may be named
        EXPECT_EQ(req.flags, kOfnHideReadOnly | (overwrite ? kOfnOverwritePrompt : 0));
        EXPECT_EQ(flags, req.flags);
        EXPECT_EQ(filename, PathIn("out.bmp"));
        EXPECT_EQ(filter, "(*.bmp)\0*.bmp"s);
    }
}

TEST_F(CommonDialogTest, DefaultExtensionAddedWhenTheUserTypesNone) {
    struct Case {
        std::string answer, ext, expected;
    } cases[] = {
        {PathIn("boat"), "bmp", PathIn("boat.bmp")},
        {PathIn("boat.BMP"), "bmp", PathIn("boat.BMP")},
        {PathIn("boat.txt"), "rgb", PathIn("boat.txt")},
        {PathIn("pal"), "TXT", PathIn("pal.TXT")},
        {PathIn("boat"), "", PathIn("boat")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.answer + " / " + c.ext);
        backend_.QueueFileAnswer(true, c.answer);
        cCommonDialog::SaveArgs args;
        args.Filter = "(*.bmp)|*.bmp|";
        args.DefaultExt = c.ext;
        cCommonDialog dlg;
        ASSERT_TRUE(dlg.VBGetSaveFileName(args));
        EXPECT_EQ(args.Filename, c.expected);
        EXPECT_EQ(args.FileTitle, FileTitleOfPath(c.expected));
        EXPECT_EQ(backend_.FileRequests().back().defaultExt, c.ext);
    }
}

TEST_F(CommonDialogTest, OpenAppliesDefaultExtensionBeforeTheExistenceCheck) {
    std::string real = MakeFile("pic.IFF");
    backend_.QueueFileAnswer(true, PathIn("pic"));
    cCommonDialog dlg;
    std::string filename, filter, title;
    std::int32_t index, flags;
    ASSERT_TRUE(Load(dlg, filename, filter, index, flags, title));
    EXPECT_EQ(filename, real);
    EXPECT_EQ(title, "pic.IFF");
}

TEST_F(CommonDialogTest, MustExistRefusesMissingFilesAndFolders) {
    fs::create_directories(dir_ / "folder.iff");
    for (const std::string &answer : {PathIn("missing.iff"), PathIn("folder.iff")}) {
        SCOPED_TRACE(answer);
        backend_.QueueFileAnswer(true, answer);
        cCommonDialog dlg;
        std::string filename, filter, title;
        std::int32_t index, flags;
        EXPECT_FALSE(Load(dlg, filename, filter, index, flags, title));
        EXPECT_EQ(filename, "");
        EXPECT_EQ(index, -1);
        EXPECT_EQ(dlg.APIReturn(), 0);
    }
    // Without the rule a new name is fine.
    backend_.QueueFileAnswer(true, PathIn("missing.iff"));
    cCommonDialog::OpenArgs args;
    args.FileMustExist = false;
    cCommonDialog dlg;
    EXPECT_TRUE(dlg.VBGetOpenFileName(args));
    EXPECT_EQ(args.Filename, PathIn("missing.iff"));
    EXPECT_EQ(args.Filter, "All (*.*)\0 *.*"s);
}

TEST_F(CommonDialogTest, ReadOnlyChoiceComesBack) {
    std::string path = MakeFile("a.iff");
    struct Case {
        bool in, ticked, out;
    } cases[] = {{false, true, true}, {false, false, false}, {true, false, true}};
    for (const Case &c : cases) {
        backend_.QueueFileAnswer(true, path, 1, c.ticked);
        cCommonDialog::OpenArgs args;
        args.ReadOnly = c.in;
        cCommonDialog dlg;
        ASSERT_TRUE(dlg.VBGetOpenFileName(args));
        EXPECT_EQ(args.ReadOnly, c.out);
        EXPECT_EQ((args.flags & kOfnReadOnly) != 0, c.ticked);
    }
}

TEST_F(CommonDialogTest, AcceptedWithoutAPathCountsAsCancelled) {
    backend_.QueueFileAnswer(true, "");
    cCommonDialog::SaveArgs args;
    cCommonDialog dlg;
    EXPECT_FALSE(dlg.VBGetSaveFileName(args));
    EXPECT_EQ(args.FilterIndex, 0);
}

TEST_F(CommonDialogTest, DialogWithoutScriptedAnswerFailsLoudly) {
    cCommonDialog::OpenArgs args;
    cCommonDialog dlg;
    EXPECT_THROW(dlg.VBGetOpenFileName(args), std::logic_error);
    ASSERT_EQ(backend_.UnexpectedDialogs().size(), 1u);
    EXPECT_EQ(backend_.UnexpectedDialogs()[0], "open file dialog");
    std::int32_t colour = 0;
    EXPECT_THROW(dlg.VBChooseColor(colour), std::logic_error);
    EXPECT_EQ(backend_.UnexpectedDialogs().size(), 2u);
    // This test expects the two; clear them for the fixture's check.
    backend_ = ScriptedDialogBackend();
}

TEST_F(CommonDialogTest, FileTitle) {
    cCommonDialog dlg;
    EXPECT_EQ(dlg.VBGetFileTitle("/home/user/Pics/boat.iff"), "boat.iff");
    EXPECT_EQ(dlg.VBGetFileTitle("/home/user/Pics/"), "");
    EXPECT_EQ(dlg.VBGetFileTitle(""), "");
}

// ---- Colour -------------------------------------------------------------

TEST_F(CommonDialogTest, CustomColorStartsWithSystemColoursAndKeepsItsRange) {
    backend_.SetSystemColour(0, 0x123456);
    backend_.SetSystemColour(15, 0xABCDEF);
    cCommonDialog dlg;
    EXPECT_EQ(dlg.CustomColor(0), 0x123456);
    EXPECT_EQ(dlg.CustomColor(15), 0xABCDEF);
    for (int k = 1; k < 15; ++k)
        EXPECT_EQ(dlg.CustomColor(k), static_cast<std::int32_t>(backend_.SystemColour(k)));
    EXPECT_EQ(dlg.CustomColor(16), -1);
    EXPECT_EQ(dlg.CustomColor(-1), -1);

    dlg.CustomColor(16, 0x111111);
    dlg.CustomColor(-1, 0x222222);
    EXPECT_EQ(dlg.CustomColor(0), 0x123456);
    EXPECT_EQ(dlg.CustomColor(15), 0xABCDEF);
    dlg.CustomColor(7, 0x00FF00);
    EXPECT_EQ(dlg.CustomColor(7), 0x00FF00);
    EXPECT_EQ(dlg.CustomColor(6), static_cast<std::int32_t>(backend_.SystemColour(6)));
}

TEST_F(CommonDialogTest, ChooseColorAcceptedAndCancelled) {
    cCommonDialog dlg;
    dlg.CustomColor(2, 0x0000FF);
    backend_.QueueColourAnswer(true, 0xFF8000);
    std::int32_t colour = 0x102030;
    EXPECT_TRUE(dlg.VBChooseColor(colour));
    EXPECT_EQ(colour, 0xFF8000);
    EXPECT_EQ(dlg.APIReturn(), 1);
    const ColourDialogRequest &req = backend_.ColourRequests().at(0);
    EXPECT_EQ(req.colour, 0x102030u);
    EXPECT_EQ(req.customColours[2], 0x0000FFu);
    EXPECT_EQ(req.flags, kCcRgbInit | kCcAnyColor);

    backend_.QueueColourAnswer(false);
    colour = 0x102030;
    EXPECT_FALSE(dlg.VBChooseColor(colour, false, true, true));
    EXPECT_EQ(colour, -1);
    EXPECT_EQ(dlg.APIReturn(), 0);
    EXPECT_EQ(backend_.ColourRequests().at(1).flags,
              kCcRgbInit | kCcSolidColor | kCcFullOpen | kCcPreventFullOpen);
}

TEST_F(CommonDialogTest, CustomColoursChangedInTheDialogSurvive) {
    cCommonDialog dlg;
    ColourDialogAnswer answer;
    answer.accepted = true;
    answer.colour = 0x00FF00;
    for (int k = 0; k < 16; ++k)
        answer.customColours[k] = 0x010101u * k;
    backend_.QueueColourAnswer(answer);
    std::int32_t colour = 0;
    ASSERT_TRUE(dlg.VBChooseColor(colour));
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(dlg.CustomColor(k), 0x010101 * k);
    // The next colour dialog on the same object is handed them.
    backend_.QueueColourAnswer(false);
    dlg.VBChooseColor(colour);
    EXPECT_EQ(backend_.ColourRequests().at(1).customColours, answer.customColours);
}

TEST_F(CommonDialogTest, FailedColourDialogReportsItsError) {
    ColourDialogAnswer answer;
    answer.extendedError = 0xFFFF;
    backend_.QueueColourAnswer(answer);
    cCommonDialog dlg;
    std::int32_t colour = 5;
    EXPECT_FALSE(dlg.VBChooseColor(colour));
    EXPECT_EQ(colour, -1);
    EXPECT_EQ(dlg.ExtendedError(), 0xFFFF);
}

// ---- Font ---------------------------------------------------------------

TEST_F(CommonDialogTest, ChooseFontSendsTheFontAndTakesTheAnswer) {
    FontDialogAnswer answer;
    answer.accepted = true;
    answer.flags = 0x41;
    answer.colour = 0x0000FF;
    answer.fontType = kBoldFontType;
    answer.italic = true;
    answer.underline = true;
    answer.strikeOut = false;
    answer.weight = 700;
    answer.pointSize10 = 145;
    answer.faceName = "DejaVu Serif"s + '\0' + "junk";
    backend_.QueueFontAnswer(answer);

    FontObject font;
    font.Name = "Courier";
    font.Size = 12;
    font.Strikethrough = true;
    cCommonDialog dlg;
    ASSERT_TRUE(dlg.VBChooseFont(font));
    const FontDialogRequest &req = backend_.FontRequests().at(0);
    EXPECT_EQ(req.height, -16);
    EXPECT_EQ(req.pointSize10, 120);
    EXPECT_EQ(req.faceName, "Courier");
    EXPECT_TRUE(req.strikeOut);
    EXPECT_EQ(req.flags, kCfScreenFonts | kCfInitToLogFontStruct);
    EXPECT_EQ(req.printerDC, 0);

    EXPECT_TRUE(font.Bold);
    EXPECT_TRUE(font.Italic);
    EXPECT_TRUE(font.Underline);
    EXPECT_FALSE(font.Strikethrough);
    EXPECT_EQ(font.Weight, 700);
    EXPECT_DOUBLE_EQ(font.Size, 14.5);
    EXPECT_EQ(font.Name, "DejaVu Serif");
    EXPECT_EQ(dlg.APIReturn(), 1);
}

TEST_F(CommonDialogTest, ChooseFontFlagRules) {
    struct Case {
        std::intptr_t printerDC;
        std::int32_t colour, minSize, maxSize, flagsIn, expected;
    } cases[] = {
        {-1, 0, 0, 0, 0, kCfScreenFonts | kCfInitToLogFontStruct},
        {-1, 0x00FF00, 0, 0, 0, kCfScreenFonts | kCfEffects | kCfInitToLogFontStruct},
        {-1, 0, 6, 0, 0, kCfScreenFonts | kCfLimitSize | kCfInitToLogFontStruct},
        {-1, 0, 0, 0, kCfEnableHook | kCfEnableTemplate | kCfApply,
         kCfScreenFonts | kCfInitToLogFontStruct},
        {-1, 0, 0, 0, kCfPrinterFonts, kCfPrinterFonts | kCfInitToLogFontStruct},
        {1234, 0, 0, 0, 0, kCfPrinterFonts | kCfInitToLogFontStruct},
    };
    for (const Case &c : cases) {
        backend_.QueueFontAnswer(FontDialogAnswer{}); // cancelled
        FontObject font;
        std::intptr_t dc = c.printerDC;
        std::int32_t colour = c.colour, minSize = c.minSize, maxSize = c.maxSize, flags = c.flagsIn;
        cCommonDialog dlg;
        EXPECT_FALSE(dlg.VBChooseFont(font, dc, nullptr, colour, minSize, maxSize, flags));
        EXPECT_EQ(backend_.FontRequests().back().flags, c.expected);
        EXPECT_EQ(dc, c.printerDC == -1 ? 0 : c.printerDC);
        EXPECT_EQ(font.Name, FontObject{}.Name); // untouched on cancel
    }
}

// ---- Print --------------------------------------------------------------

class RecordingPrinter : public PrinterObject {
  public:
    void SetProperty(const std::string &name, std::int32_t value) override {
        calls.emplace_back(name, value);
        if (name == failOn)
            throw std::runtime_error("no such property");
    }
    std::vector<std::pair<std::string, std::int32_t>> calls;
    std::string failOn;
};

struct PrintCall {
    std::shared_ptr<QPrinter> hdc;
    std::int32_t range = 0, from = 1, to = -1;
    std::int16_t copies = 0;
    bool toFile = false, collate = false;
};

bool CallPrint(cCommonDialog &dlg, PrintCall &c, PrinterObject *printer = nullptr,
               bool disablePages = false, bool showToFile = false, bool disableToFile = true) {
    return dlg.VBPrintDlg(c.hdc, c.range, disablePages, c.from, c.to, false, c.copies, showToFile,
                          disableToFile, c.toFile, c.collate, false, nullptr, printer, 0);
}

TEST_F(CommonDialogTest, PrintDialogFlagsAndResults) {
    PrintDialogAnswer answer;
    answer.accepted = true;
    answer.flags = kPdSelection | kPdPrintToFile;
    answer.fromPage = 2;
    answer.toPage = 5;
    answer.settings = {3, 2, 8, 600, 1};
    backend_.QueuePrintAnswer(answer);

    RecordingPrinter printer;
    printer.failOn = "Orientation"; // one failing property must not stop the others
    cCommonDialog dlg;
    PrintCall c;
    c.range = 1;
    c.collate = true;
    ASSERT_TRUE(CallPrint(dlg, c, &printer));
    EXPECT_EQ(backend_.PrintRequests().at(0).flags, kPdReturnDC | kPdUseDevModeCopiesAndCollate |
                                                        kPdHidePrintToFile | kPdDisablePrintToFile |
                                                        kPdCollate | kPdPageNums);
    EXPECT_EQ(backend_.PrintRequests().at(0).toPage, -1);
    EXPECT_EQ(c.range, 2);
    EXPECT_EQ(c.from, 2);
    EXPECT_EQ(c.to, 5);
    EXPECT_TRUE(c.toFile);
    EXPECT_EQ(c.copies, 3);
    EXPECT_TRUE(c.collate);
    EXPECT_EQ(dlg.GetStoredDevMode().PaperSize, 8);
    std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"Copies", 3}, {"Orientation", 2}, {"PaperSize", 8}, {"PrintQuality", 600}};
    EXPECT_EQ(printer.calls, expected);

    // Cancelled: nothing changes, stored settings stay.
    backend_.QueuePrintAnswer(PrintDialogAnswer{});
    PrintCall d;
    d.from = 7;
    EXPECT_FALSE(CallPrint(dlg, d, nullptr, true, true, false));
    EXPECT_EQ(d.from, 7);
    EXPECT_EQ(d.range, 0);
    EXPECT_EQ(dlg.GetStoredDevMode().PaperSize, 8);
    EXPECT_EQ(backend_.PrintRequests().at(1).flags,
              kPdReturnDC | kPdUseDevModeCopiesAndCollate | kPdNoPageNums);
}

TEST_F(CommonDialogTest, PrintRangeFromReturnedFlags) {
    for (auto [flags, range] : {std::pair{kPdPageNums, 1}, std::pair{kPdSelection, 2},
                                std::pair{kPdPageNums | kPdSelection, 1}, std::pair{0, 0}}) {
        PrintDialogAnswer answer;
        answer.accepted = true;
        answer.flags = flags;
        backend_.QueuePrintAnswer(answer);
        cCommonDialog dlg;
        PrintCall c;
        c.range = 2;
        ASSERT_TRUE(CallPrint(dlg, c));
        EXPECT_EQ(c.range, range);
        EXPECT_FALSE(c.collate);
    }
}

// ---- Page set-up --------------------------------------------------------

struct Margins {
    std::int32_t left = 0, minLeft = 0, right = 0, minRight = 0, top = 0, minTop = 0, bottom = 0,
                 minBottom = 0, paper = 1, orientation = 1, quality = -1;
};

bool CallPageSetup(cCommonDialog &dlg, Margins &m, std::int32_t units,
                   PrinterObject *printer = nullptr) {
    return dlg.VBPageSetupDlg(nullptr, false, true, false, false, m.left, m.minLeft, m.right,
                              m.minRight, m.top, m.minTop, m.bottom, m.minBottom, m.paper,
                              m.orientation, m.quality, units, printer, 0);
}

TEST_F(CommonDialogTest, PageSetupScalesMarginsBothWays) {
    PageSetupAnswer answer;
    answer.accepted = true;
    answer.margins = {1500, 2500, 3500, 1499};
    answer.minMargins = {500, 0, 1000, 999};
    answer.settings = {1, 2, 9, 300, 0};
    backend_.QueuePageSetupAnswer(answer);

    cCommonDialog dlg;
    Margins m;
    m.left = 1;
    m.right = 2;
    m.top = 3;
    m.bottom = 4;
    m.minLeft = 1;
    RecordingPrinter printer;
    ASSERT_TRUE(CallPageSetup(dlg, m, 0, &printer));
    const PageSetupRequest &req = backend_.PageSetupRequests().at(0);
    EXPECT_EQ(req.margins, (PageMargins{1000, 3000, 2000, 4000}));
    EXPECT_EQ(req.minMargins, (PageMargins{1000, 0, 0, 0}));
    EXPECT_EQ(req.flags,
              kPsdMinMargins | kPsdMargins | kPsdDisableOrientation | kPsdInThousandthsOfInches);
    EXPECT_EQ(m.left, 2);   // 1.5 to even
    EXPECT_EQ(m.top, 2);    // 2.5 to even
    EXPECT_EQ(m.right, 4);  // 3.5 to even
    EXPECT_EQ(m.bottom, 1); // 1.499
    EXPECT_EQ(m.minLeft, 0);
    EXPECT_EQ(m.minRight, 1);
    EXPECT_EQ(m.minBottom, 1);
    EXPECT_EQ(m.orientation, 2);
    EXPECT_EQ(m.paper, 9);
    EXPECT_EQ(m.quality, 300);
    EXPECT_EQ(dlg.APIReturn(), 1);
    EXPECT_EQ(printer.calls.size(), 4u);
    EXPECT_EQ(dlg.GetStoredDevMode().PaperSize, PrinterSettings{}.PaperSize); // unchanged

    // Millimetres: a scale of 100.
    answer.margins = {250, 350, 1000, 0};
    backend_.QueuePageSetupAnswer(answer);
    Margins mm;
    mm.left = 1;
    ASSERT_TRUE(CallPageSetup(dlg, mm, 1));
    EXPECT_EQ(backend_.PageSetupRequests().at(1).margins.left, 100);
    EXPECT_EQ(backend_.PageSetupRequests().at(1).flags & 0xC, kPsdInHundredthsOfMillimeters);
    EXPECT_EQ(mm.left, 2);
    EXPECT_EQ(mm.top, 4);
    EXPECT_EQ(mm.right, 10);
}

TEST_F(CommonDialogTest, PageSetupCancelledKeepsEverything) {
    backend_.QueuePageSetupAnswer(PageSetupAnswer{});
    cCommonDialog dlg;
    Margins m;
    m.left = 7;
    m.paper = 5;
    EXPECT_FALSE(CallPageSetup(dlg, m, 0));
    EXPECT_EQ(m.left, 7);
    EXPECT_EQ(m.paper, 5);
    EXPECT_EQ(dlg.APIReturn(), 0);
}

} // namespace
} // namespace tambrel
