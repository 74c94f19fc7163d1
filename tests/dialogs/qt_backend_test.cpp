// The Qt file dialog's set-up for a request, checked without showing it.
#include "dialogs/filter_text.h"
#include "dialogs/qt_dialog_backend.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPalette>

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

TEST(QtDialogBackend, DesktopColoursAndScreenUnits) {
    QtDialogBackend backend;
    const QPalette palette = QGuiApplication::palette();
    EXPECT_EQ(backend.SystemColour(13), palette.color(QPalette::Highlight).rgb() & 0xFFFFFFu);
    EXPECT_EQ(backend.SystemColour(15), palette.color(QPalette::Button).rgb() & 0xFFFFFFu);
    EXPECT_EQ(backend.SystemColour(16), 0u);
    EXPECT_GT(backend.TwipsPerPixelY(), 0);
}

} // namespace
} // namespace tambrel
