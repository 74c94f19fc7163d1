// The Qt file dialog's set-up for a request, checked without showing it.
#include "dialogs/filter_text.h"
#include "dialogs/qt_dialog_backend.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPalette>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace tambrel {
namespace {

FileDialogRequest RequestFor(bool save, const std::string &filter, std::int32_t index) {
    FileDialogRequest r;
    r.save = save;
    r.convertedFilter = ConvertFilter(filter);
    r.filters = SplitConvertedFilter(r.convertedFilter);
    r.filterIndex = index;
    return r;
}

TEST(QtNameFilters, DescriptionThenPatternsInParentheses) {
    auto filters = QtNameFilters(SplitConvertedFilter(ConvertFilter("(*.Iff)|*.iff|(*.*)|*.*|")));
    EXPECT_EQ(filters, QStringList({"(*.Iff) (*.iff)", "(*.*) (*.*)"}));
    EXPECT_EQ(QtNameFilters(SplitConvertedFilter(ConvertFilter(kDefaultFileFilter))),
              QStringList({"All (*.*) (*.*)"}));
    EXPECT_EQ(QtNameFilters(SplitConvertedFilter(ConvertFilter("Pictures|*.iff;*.ilbm|"))),
              QStringList({"Pictures (*.iff *.ilbm)"}));
    EXPECT_TRUE(QtNameFilters({}).isEmpty());
}

TEST(ConfigureFileDialog, OpenDialogForTheLoadCommand) {
    FileDialogRequest r = RequestFor(false, "(*.Iff)|*.iff|(*.*)|*.*|", 2);
    r.defaultExt = "IFF";
    r.fileMustExist = true;
    r.title = "Load picture";
    r.initDir = QDir::tempPath().toStdString();
    QFileDialog dialog;
    ConfigureFileDialog(dialog, r);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog.nameFilters(), QStringList({"(*.Iff) (*.iff)", "(*.*) (*.*)"}));
    EXPECT_EQ(dialog.selectedNameFilter(), "(*.*) (*.*)");
    EXPECT_EQ(dialog.defaultSuffix(), "IFF");
    EXPECT_EQ(dialog.windowTitle(), "Load picture");
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());

    r.fileMustExist = false;
    ConfigureFileDialog(dialog, r);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
    r.multiSelect = true;
    ConfigureFileDialog(dialog, r);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
}

TEST(ConfigureFileDialog, SaveDialogOverwritePromptAndSuffix) {
    for (bool prompt : {true, false}) {
        FileDialogRequest r = RequestFor(true, "(*.bmp)|*.bmp|", 1);
        r.defaultExt = ".bmp";
        r.overwritePrompt = prompt;
        QFileDialog dialog;
        ConfigureFileDialog(dialog, r);
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog.defaultSuffix(), "bmp");
        EXPECT_EQ(dialog.testOption(QFileDialog::DontConfirmOverwrite), !prompt);
        EXPECT_EQ(dialog.selectedNameFilter(), "(*.bmp) (*.bmp)");
    }
}

TEST(ConfigureFileDialog, IndexOutsideTheListSelectsTheFirstFilter) {
    for (int index : {0, -1, 3, 99}) {
        QFileDialog dialog;
        ConfigureFileDialog(dialog, RequestFor(false, "A|*.a|B|*.b|", index));
        EXPECT_EQ(dialog.selectedNameFilter(), "A (*.a)") << index;
    }
}

TEST(ReadFileDialog, ChosenNameAndFilterComeBack) {
    FileDialogRequest r = RequestFor(true, "A|*.a|B|*.b|", 2);
    r.initDir = QDir::tempPath().toStdString();
    r.fileName = "picture.b";
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureFileDialog(dialog, r);
    FileDialogAnswer answer = ReadFileDialog(dialog, r);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.filterIndex, 2);
    EXPECT_EQ(FileTitleOfPath(answer.path), "picture.b");
    EXPECT_EQ(answer.path.find('\\'), std::string::npos);
}

TEST(ReadFileDialog, QtAddsTheDefaultSuffixLikeTheScriptedRule) {
    FileDialogRequest r = RequestFor(true, "(*.bmp)|*.bmp|", 1);
    r.initDir = QDir::tempPath().toStdString();
    r.fileName = "boat";
    r.defaultExt = "bmp";
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureFileDialog(dialog, r);
    FileDialogAnswer answer = ReadFileDialog(dialog, r);
    EXPECT_EQ(FileTitleOfPath(answer.path), "boat.bmp");
    // Applying the rule again changes nothing, so both backends agree.
    EXPECT_EQ(ApplyDefaultExtension(answer.path, r.defaultExt), answer.path);
}

// Answers the modal dialog the backend opens, once the event loop runs.
template <typename Dialog, typename Fn> void WhenShown(Fn answer) {
    QTimer::singleShot(0, [answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST(QtDialogBackend, FileDialogAcceptedAndCancelled) {
    QtDialogBackend backend;
    FileDialogRequest r = RequestFor(true, "(*.rgb)|*.rgb|", 1);
    r.initDir = QDir::tempPath().toStdString();
    r.defaultExt = "rgb";
    r.title = "Export";
    WhenShown<QFileDialog>([](QFileDialog &d) {
        EXPECT_EQ(d.windowTitle(), "Export");
        d.selectFile("raw_out");
        static_cast<QDialog &>(d).accept(); // QFileDialog's own accept() checks the name
    });
    FileDialogAnswer answer = backend.FileDialog(r);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(FileTitleOfPath(answer.path), "raw_out.rgb");
    EXPECT_EQ(answer.filterIndex, 1);

    WhenShown<QFileDialog>([](QFileDialog &d) { d.reject(); });
    answer = backend.FileDialog(r);
    EXPECT_FALSE(answer.accepted);
    EXPECT_EQ(answer.path, "");
}

TEST(QtDialogBackend, ColourDialogKeepsCustomColours) {
    QtDialogBackend backend;
    ColourDialogRequest r;
    r.colour = 0x336699;
    for (int k = 0; k < 16; ++k)
        r.customColours[k] = 0x000100u * k;
    WhenShown<QColorDialog>([](QColorDialog &d) {
        EXPECT_EQ(d.currentColor().rgb() & 0xFFFFFFu, 0x336699u);
        d.setCurrentColor(QColor(0x12, 0x34, 0x56));
        d.accept();
    });
    ColourDialogAnswer answer = backend.ColourDialog(r);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(answer.colour, 0x123456u);
    EXPECT_EQ(answer.customColours, r.customColours);

    WhenShown<QColorDialog>([](QColorDialog &d) { d.reject(); });
    EXPECT_FALSE(backend.ColourDialog(r).accepted);
}

TEST(QtDialogBackend, DesktopColoursAndScreenUnits) {
    QtDialogBackend backend;
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(backend.SystemColour(13), palette.color(QPalette::Highlight).rgb() & 0xFFFFFFu);
    EXPECT_EQ(backend.SystemColour(15), palette.color(QPalette::Button).rgb() & 0xFFFFFFu);
    EXPECT_EQ(backend.SystemColour(16), 0u);
    EXPECT_GT(backend.TwipsPerPixelY(), 0);
}

TEST(PageSetupLayout, MarginsRoundTripInBothUnits) {
    struct Case {
        std::int32_t unitFlag;
        PageMargins margins;
    } cases[] = {
        {kPsdInThousandthsOfInches, {1000, 500, 750, 250}},
        {kPsdInHundredthsOfMillimeters, {2540, 1000, 1500, 500}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.unitFlag);
        PageSetupRequest request;
        request.flags = kPsdMargins | kPsdMinMargins | c.unitFlag;
        request.margins = c.margins;
        QPrinter printer;
        printer.setPageSize(QPageSize(QPageSize::A4));
        ApplyPageSetupRequest(printer, request);
        PageSetupAnswer answer = ReadPageSetup(printer, request);
        EXPECT_TRUE(answer.accepted);
        EXPECT_EQ(answer.margins, c.margins);
        EXPECT_EQ(answer.settings.PaperSize, 9);
        EXPECT_EQ(answer.settings.Orientation, 1);
    }
    // One inch is 25.4 mm: the layout holds real lengths, not bare numbers.
    PageSetupRequest inches;
    inches.flags = kPsdInThousandthsOfInches;
    inches.margins = {1000, 1000, 1000, 1000};
    QPrinter printer;
    ApplyPageSetupRequest(printer, inches);
    PageSetupRequest mm;
    mm.flags = kPsdInHundredthsOfMillimeters;
    EXPECT_EQ(ReadPageSetup(printer, mm).margins.left, 2540);
}

TEST(PageSetupLayout, LandscapeAndLetterAreReported) {
    QPrinter printer;
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Landscape);
    PageSetupAnswer answer = ReadPageSetup(printer, PageSetupRequest{});
    EXPECT_EQ(answer.settings.Orientation, 2);
    EXPECT_EQ(answer.settings.PaperSize, 1);
}

TEST(PrintDialogSetup, RangePagesAndOptions) {
    auto printer = std::make_shared<QPrinter>();
    QPrintDialog dialog(printer.get());
    PrintDialogRequest request;
    request.flags = kPdPageNums | kPdNoSelection | kPdHidePrintToFile | kPdCollate;
    request.fromPage = 2;
    request.toPage = 5;
    ConfigurePrintDialog(dialog, *printer, request);
    EXPECT_EQ(dialog.printRange(), QAbstractPrintDialog::PageRange);
    EXPECT_EQ(dialog.fromPage(), 2);
    EXPECT_EQ(dialog.toPage(), 5);
    EXPECT_EQ(dialog.minPage(), 1);
    EXPECT_EQ(dialog.maxPage(), 0xFFFF);
    EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
    EXPECT_TRUE(printer->collateCopies());

    // "To" -1 means the last page; selection preselected.
    request.flags = kPdSelection;
    request.fromPage = 1;
    request.toPage = -1;
    ConfigurePrintDialog(dialog, *printer, request);
    EXPECT_EQ(dialog.printRange(), QAbstractPrintDialog::Selection);
    EXPECT_EQ(dialog.toPage(), 0xFFFF);
    EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
    EXPECT_FALSE(printer->collateCopies());
}

TEST(PrintDialogSetup, AnswerFromThePrinter) {
    auto printer = std::make_shared<QPrinter>();
    printer->setPrintRange(QPrinter::PageRange);
    printer->setFromTo(3, 4);
    printer->setCopyCount(2);
    printer->setCollateCopies(true);
    printer->setOutputFileName(QDir::tempPath() + "/tambrel_print_test.pdf");
    PrintDialogRequest request;
    request.flags = kPdReturnDC | kPdSelection;
    PrintDialogAnswer answer = ReadPrintDialog(printer, request);
    EXPECT_EQ(answer.flags, kPdReturnDC | kPdPageNums | kPdPrintToFile);
    EXPECT_EQ(answer.fromPage, 3);
    EXPECT_EQ(answer.toPage, 4);
    EXPECT_EQ(answer.settings.Copies, 2);
    EXPECT_EQ(answer.settings.Collate, 1);
    EXPECT_EQ(answer.printer, printer);

    // All pages: the pages come back as they were sent.
    printer->setPrintRange(QPrinter::AllPages);
    request.fromPage = 1;
    request.toPage = -1;
    answer = ReadPrintDialog(printer, request);
    EXPECT_EQ(answer.flags & (kPdPageNums | kPdSelection), 0);
    EXPECT_EQ(answer.fromPage, 1);
    EXPECT_EQ(answer.toPage, -1);
}

} // namespace
} // namespace tambrel
