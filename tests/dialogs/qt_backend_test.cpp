// The Qt dialogs' set-up from a request and their answers.
#include "dialogs/filter_text.h"
#include "dialogs/qt_dialog_backend.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

namespace tambrel {
namespace {

FileDialogRequest RequestFor(bool save, const std::string &filter, std::int32_t index,
                             const std::string &ext) {
    FileDialogRequest r;
    r.save = save;
    r.convertedFilter = ConvertFilter(filter);
    r.filters = SplitConvertedFilter(r.convertedFilter);
    r.filterIndex = index;
    r.defaultExt = ext;
    return r;
}

TEST(QtFileDialog, NameFiltersAndSetUpFromTheRequest) {
    EXPECT_EQ(QtNameFilters(SplitConvertedFilter(ConvertFilter("Pics|*.iff;*.ilbm|"))),
              QStringList({"Pics (*.iff *.ilbm)"}));
    const QString iff = "(*.Iff)", all = "(*.*)"; // no pattern list said twice
    struct Case {
        bool save, mustExist, prompt;
        int index;
        std::string ext;
        QString selected, suffix;
    } cases[] = {{false, true, false, 2, "IFF", all, "IFF"},
                 {true, false, true, 9, ".bmp", iff, "bmp"}}; // outside the list: the first
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        FileDialogRequest r = RequestFor(c.save, "(*.Iff)|*.iff|(*.*)|*.*|", c.index, c.ext);
        r.fileMustExist = c.mustExist;
        r.overwritePrompt = c.prompt;
        QFileDialog dialog;
        ConfigureFileDialog(dialog, r);
        EXPECT_EQ(dialog.acceptMode(), c.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.fileMode(),
                  c.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        EXPECT_EQ(dialog.nameFilters(), QStringList({iff, all}));
        EXPECT_EQ(dialog.selectedNameFilter(), c.selected);
        EXPECT_EQ(dialog.defaultSuffix(), c.suffix);
        EXPECT_EQ(dialog.testOption(QFileDialog::DontConfirmOverwrite), !c.prompt);
    }
}

// Answers the modal dialog the backend opens, once the event loop runs.
template <typename Fn> void WhenShown(Fn answer) {
    QTimer::singleShot(0, [answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST(QtFileDialog, AnswerCarriesNameSuffixAndFilterOrCancel) {
    QtDialogBackend backend;
    FileDialogRequest r = RequestFor(true, "A|*.a|(*.rgb)|*.rgb|", 2, "rgb");
    r.initDir = QDir::tempPath().toStdString();
    WhenShown([](QFileDialog &d) {
        d.selectFile("raw_out");
        static_cast<QDialog &>(d).accept(); // QFileDialog's own accept() checks the name
    });
    FileDialogAnswer answer = backend.FileDialog(r);
    EXPECT_TRUE(answer.accepted);
    EXPECT_EQ(FileTitleOfPath(answer.path), "raw_out.rgb");
    EXPECT_EQ(answer.filterIndex, 2);

    WhenShown([](QFileDialog &d) { d.reject(); });
    EXPECT_FALSE(backend.FileDialog(r).accepted);
}

} // namespace
} // namespace tambrel
