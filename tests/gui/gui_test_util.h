#pragma once
// The window tests' set-up: scripted toolkit and dialogs, temporary folders, the main window.
#include "app/tambrel_main.h"
#include "batch/batch_conversion.h"
#include "dialogs/scripted_dialog_backend.h"
#include "dialogs/toolkit.h"
#include "tests/support/ilbm_writer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tambrel::guitest {

inline const QColor kWhite(255, 255, 255);
inline constexpr const char *kOverwriteQuestion = "WARNING - File Exists, Overwrite it ?";
inline constexpr const char *kWrittenPrefs = "Splash:-1\r\nTHEEND:\r\n"; // no splash

// Processes events for `ms` milliseconds.
inline void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

using test::ReadText;
using test::WriteText;
inline void MakeFolder(const std::string &path) {
    QDir().mkpath(QString::fromStdString(path));
}

// Names ending in ".bmp" in `folder` (files and folders), sorted.
inline std::vector<std::string> Bitmaps(const std::string &folder) {
    std::vector<std::string> names;
    for (const QString &n :
         QDir(QString::fromStdString(folder))
             .entryList({"*.bmp"}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        names.push_back(n.toStdString());
    return names;
}

inline bool AllWhite(const QImage &img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != kWhite)
                return false;
    return true;
}

// Four coloured quadrants (palette entries 1..4 of 3 planes): positions can be told apart.
struct QuadPicture {
    test::ChunkyImage Image;
    std::vector<std::uint32_t> Colours{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                       0xFFFF00, 0x808080, 0x00FFFF, 0xFF00FF};
    QColor ColourAt(int x, int y) const { return QColor(Colours[Image.At(x, y)]); }
    // Its BMP file by the reference model.
    std::string Bitmap() const {
        std::vector<std::uint32_t> colours;
        for (std::uint8_t v : Image.Pixels)
            colours.push_back(Colours[v]);
        const test::Bytes b = test::ref::Bitmap(Image.Width, Image.Height, colours);
        return std::string(b.begin(), b.end());
    }
};
inline QuadPicture MakeQuadPicture(int width, int height) {
    QuadPicture p;
    p.Image = test::ChunkyImage(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.Image.At(x, y) =
                static_cast<std::uint8_t>(1 + (x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0));
    return p;
}
// Writes it as a ByteRun1-packed FORM ILBM.
inline void WriteQuadPicture(const std::string &path, const QuadPicture &pic) {
    test::SimpleIlbm s;
    s.Image = pic.Image;
    s.Colours = pic.Colours;
    s.Compressed = true;
    test::WriteBytes(path, test::BuildSimple(s));
}
// A FORM ILBM with BMHD and CMAP but no BODY.
inline void WriteNoBodyPicture(const std::string &path, int width, int height) {
    test::IlbmBuilder()
        .Bmhd(test::HeaderFor(test::ChunkyImage(width, height, 3), false))
        .Cmap(std::vector<std::uint32_t>(8, 0x102030))
        .WriteFile(path);
}

// Checks a Yes/No question box (its first line: a batch run adds its counts below).
inline void ExpectQuestion(const ScriptedToolkit::Shown &m, const std::string &text,
                           const std::string &title) {
    EXPECT_EQ(std::tuple(m.Text.substr(0, m.Text.find("\r\n")), m.Title, m.Buttons, m.Icon),
              std::tuple(text, title, int(MbYesNo), int(MbQuestion)));
}

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(config_.isValid());
        tk_.Folder = Dir();
        SetToolkit(&tk_);
        SetDialogBackend(&dialogs_);
    }
    void TearDown() override {
        main_.reset();
        SetToolkit(nullptr);
        SetDialogBackend(nullptr);
        for (const auto &m : tk_.Messages)
            EXPECT_FALSE(m.Unexpected) << "message box without a scripted answer: " << m.Text;
        EXPECT_TRUE(dialogs_.UnexpectedDialogs().empty())
            << "dialog without a scripted answer: " << dialogs_.UnexpectedDialogs().front();
        EXPECT_EQ(tk_.PendingAnswers(), 0u) << "scripted answers left unused";
        EXPECT_EQ(dialogs_.PendingAnswers(), 0u) << "scripted dialogs left unused";
    }

    // The main window (program folder Dir()); no splash unless the test wrote preferences.
    TambrelMain &Main() {
        if (!main_) {
            if (ReadText(Path("TambrelPref.txt")).empty())
                WriteText(Path("TambrelPref.txt"), kWrittenPrefs);
            main_ = std::make_unique<TambrelMain>(
                MainWindowOptions{Dir(), config_.path().toStdString()});
        }
        return *main_;
    }
    std::string Dir() const { return dir_.path().toStdString(); }
    std::string Path(const std::string &name) const { return Dir() + "/" + name; }

    void Trigger(const char *actionName) {
        auto *action = Main().findChild<QAction *>(actionName);
        ASSERT_NE(action, nullptr) << actionName;
        action->trigger();
    }
    // Loads through File > Load IFF with the dialog answering `path`.
    void LoadViaMenu(const std::string &path) {
        dialogs_.QueueFileAnswer(true, path);
        Trigger("mnu_file_Load");
    }
    // Writes a quadrant picture as Path(name) and loads it through the menu.
    QuadPicture LoadQuad(const std::string &name, int width, int height) {
        QuadPicture quad = MakeQuadPicture(width, height);
        WriteQuadPicture(Path(name), quad);
        LoadViaMenu(Path(name));
        return quad;
    }
    // Opens the batch window (File > Convert Folder), listing `folder` if given.
    Frm_Batch_Conversion &OpenBatch(const std::string &folder = {}) {
        Trigger("mnu_Convert_Folder");
        Frm_Batch_Conversion *w = main_->BatchWindow();
        EXPECT_NE(w, nullptr);
        if (!folder.empty())
            w->SetCurrentPath(folder);
        return *w;
    }
    // A drag enter and a drop of a file or address (empty: none); whether each was accepted.
    std::pair<bool, bool> Drop(const std::string &path) {
        QMimeData data;
        if (!path.empty())
            data.setUrls({QUrl::fromUserInput(QString::fromStdString(path))});
        const QPoint at(200, 150);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &drop);
        return {enter.isAccepted(), drop.isAccepted()};
    }
    ScriptedToolkit tk_;
    ScriptedDialogBackend dialogs_;
    QTemporaryDir dir_;
    QTemporaryDir config_;
    std::unique_ptr<TambrelMain> main_;
};

} // namespace tambrel::guitest
