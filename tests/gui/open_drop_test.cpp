// Files handed over by the desktop: "tambrel FILE" and drops on the main
// window load through the same command as the open dialog.
#include "gui_test_util.h"

#include "app/open_request.h"
#include "batch/batch_conversion.h"
#include "decoder/iff_picture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace tambrel::guitest {
namespace {

// ---- Command-line and drop parsing ----

struct ArgumentCase {
    const char *name;
    std::vector<QString> args; // after the program name
    QString expected;          // "@/" stands for the current folder
};
void PrintTo(const ArgumentCase &c, std::ostream *os) {
    *os << c.name;
}

class FileArgument : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(FileArgument, PicksTheFirstFileAsAnAbsolutePath) {
    const ArgumentCase &c = GetParam();
    QStringList args{"tambrel"};
    for (const QString &a : c.args)
        args << a;
    QString expected = c.expected;
    expected.replace("@/", QDir::currentPath() + "/");
    EXPECT_EQ(FileFromArguments(args), expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, FileArgument,
    ::testing::Values(
        ArgumentCase{"None", {}, ""}, ArgumentCase{"Absolute", {"/p/a.iff"}, "/p/a.iff"},
        ArgumentCase{"Relative", {"pics/a.iff"}, "@/pics/a.iff"},
        ArgumentCase{"DotRelative", {"./a.iff"}, "@/a.iff"},
        ArgumentCase{"SeveralTakeTheFirst", {"/p/first.iff", "/p/second.iff"}, "/p/first.iff"},
        ArgumentCase{"OptionsSkipped", {"-v", "--verbose", "/p/a.iff"}, "/p/a.iff"},
        ArgumentCase{"OnlyOptions", {"-v", "--x"}, ""},
        ArgumentCase{"AfterDoubleDash", {"--", "-dash.iff"}, "@/-dash.iff"},
        ArgumentCase{"FileUrl", {"file:///p/a%20b.iff"}, "/p/a b.iff"},
        ArgumentCase{"FileUrlUpperCase", {"FILE:///p/a.iff"}, "/p/a.iff"},
        ArgumentCase{"OtherUrlSkipped", {"http://host/a.iff", "/p/b.iff"}, "/p/b.iff"},
        ArgumentCase{"EmptySkipped", {"", "/p/b.iff"}, "/p/b.iff"}));

TEST(DropData, FirstLocalFileSkipsFoldersAndOtherUrls) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path();
    const QString file = folder + "/x.iff";
    QMimeData data;
    EXPECT_EQ(FirstLocalFile(data), "") << "no URLs";
    data.setText(file);
    EXPECT_EQ(FirstLocalFile(data), "") << "plain text is not a file";
    data.setUrls({QUrl("http://host/a.iff"), QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file),
                  QUrl::fromLocalFile(folder + "/y.iff")});
    EXPECT_EQ(FirstLocalFile(data), file.toStdString());
    data.setUrls({QUrl::fromLocalFile(folder)});
    EXPECT_EQ(FirstLocalFile(data), "");
}

// ---- The three routes give the same load ----

enum class Route { Dialog, Argument, ArgumentUrl, RelativeArgument, Drop };

// What a load left behind, everything the user sees.
struct Outcome {
    std::vector<std::string> Messages;
    int PictureLoaded = -1;
    std::string PicturePath;
    std::vector<std::string> Panel;
    std::vector<std::string> Notice;
    QImage Work, Preview;
};

struct RouteCase {
    const char *name;
    std::function<void(const std::string &)> make;
    bool vanishAtYield; // the file goes away after it was handed over
    bool expectMessage;
    std::function<void(const Outcome &)> check; // what the dialog route gives
};

class OpenRouteTest : public GuiTest {
  protected:
    // Sends a drag enter and a drop of `urls`; returns whether both were accepted.
    std::pair<bool, bool> DropUrls(const QList<QUrl> &urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(200, 150), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &enter);
        QDropEvent drop(QPointF(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Main(), &drop);
        return {enter.isAccepted(), drop.isAccepted()};
    }
    void LoadBy(Route route, const std::string &path) {
        switch (route) {
        case Route::Dialog:
            LoadViaMenu(path);
            return;
        case Route::Argument:
            Main().OpenAtStart(FileFromArguments({"tambrel", QString::fromStdString(path)}));
            break;
        case Route::ArgumentUrl:
            Main().OpenAtStart(FileFromArguments(
                {"tambrel", QUrl::fromLocalFile(QString::fromStdString(path)).toString()}));
            break;
        case Route::RelativeArgument: {
            const QString before = QDir::currentPath();
            QDir::setCurrent(QString::fromStdString(Dir()));
            const QString relative =
                QDir(QString::fromStdString(Dir())).relativeFilePath(QString::fromStdString(path));
            Main().OpenAtStart(FileFromArguments({"tambrel", "--flag", relative}));
            QDir::setCurrent(before);
            break;
        }
        case Route::Drop: {
            const auto [entered, dropped] =
                DropUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
            EXPECT_TRUE(entered);
            EXPECT_TRUE(dropped);
            break;
        }
        }
        // These routes load once the event loop runs, after the window is up.
        EXPECT_EQ(main_->Picture().PicturePath, Path("earlier.iff"));
        Wait(30);
    }
    Outcome Collect() {
        Outcome o;
        o.Messages = MessageTexts();
        o.PictureLoaded = main_->Picture().PictureLoaded;
        o.PicturePath = main_->Picture().PicturePath;
        for (const auto &line : main_->Picture1()->Printed())
            o.Panel.push_back(line.Text.toStdString());
        for (const auto &line : main_->Picture6()->Printed())
            o.Notice.push_back(line.Text.toStdString());
        o.Work = main_->Picture5()->Image().copy();
        o.Preview = main_->Picture6()->Image().copy();
        return o;
    }
    // A fresh main window showing another picture, then `path` loaded by `route`.
    Outcome Run(Route route, const std::string &path, const RouteCase &c) {
        main_.reset();
        tk_.ClearRecords();
        LoadViaMenu(Path("earlier.iff"));
        EXPECT_EQ(main_->Picture().PictureLoaded, 1);
        c.make(path);
        if (c.vanishAtYield)
            tk_.OnYield = [path, done = false]() mutable {
                if (!done)
                    QFile::remove(QString::fromStdString(path));
                done = true;
            };
        if (c.expectMessage)
            tk_.QueueAnswer(IdOk);
        LoadBy(route, path);
        tk_.OnYield = nullptr;
        EXPECT_FALSE(main_->Busy());
        return Collect();
    }
};

void PrintTo(const RouteCase &c, std::ostream *os) {
    *os << c.name;
}

class SameLoad : public OpenRouteTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(SameLoad, ArgumentAndDropMatchTheDialog) {
    const RouteCase &c = GetParam();
    WriteQuadPicture(Path("earlier.iff"), MakeQuadPicture(40, 20));
    const std::string path = Path(std::string(c.name) + " pic.iff");
    const Outcome viaDialog = Run(Route::Dialog, path, c);
    c.check(viaDialog);
    for (Route route :
         {Route::Argument, Route::ArgumentUrl, Route::RelativeArgument, Route::Drop}) {
        SCOPED_TRACE(static_cast<int>(route));
        const Outcome o = Run(route, path, c);
        EXPECT_EQ(o.Messages, viaDialog.Messages);
        EXPECT_EQ(o.PictureLoaded, viaDialog.PictureLoaded);
        EXPECT_EQ(o.PicturePath, viaDialog.PicturePath);
        EXPECT_EQ(o.Panel, viaDialog.Panel);
        EXPECT_EQ(o.Notice, viaDialog.Notice);
        EXPECT_TRUE(o.Work == viaDialog.Work) << "work surface differs";
        EXPECT_TRUE(o.Preview == viaDialog.Preview) << "preview differs";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SameLoad,
    ::testing::Values(
        RouteCase{"Good",
                  [](const std::string &p) { WriteQuadPicture(p, MakeQuadPicture(64, 48)); }, false,
                  false,
                  [](const Outcome &o) {
                      EXPECT_TRUE(o.Messages.empty());
                      EXPECT_EQ(o.PictureLoaded, 1);
                      ASSERT_GE(o.Panel.size(), 4u);
                      EXPECT_EQ(o.Panel[1], "GOOD PIC");
                      EXPECT_EQ(o.Panel[3], " 64");
                  }},
        RouteCase{"Vanished",
                  [](const std::string &p) { WriteQuadPicture(p, MakeQuadPicture(8, 8)); }, true,
                  true,
                  [](const Outcome &o) {
                      EXPECT_EQ(o.Messages, std::vector<std::string>{"Error- File Doesn't Exist"});
                      EXPECT_EQ(o.PictureLoaded, 0);
                      EXPECT_TRUE(o.Panel.empty()) << "do_New ran first";
                  }},
        RouteCase{"Text",
                  [](const std::string &p) {
                      WriteText(p, "This is a plain text file, not a picture.\r\n");
                  },
                  false, false,
                  [](const Outcome &o) {
                      EXPECT_TRUE(o.Messages.empty());
                      EXPECT_EQ(o.PictureLoaded, 0);
                      EXPECT_TRUE(o.Panel.empty()) << "do_New ran first";
                  }},
        RouteCase{"NoBody", [](const std::string &p) { WriteNoBodyPicture(p, 48, 20); }, false,
                  false,
                  [](const Outcome &o) {
                      EXPECT_EQ(o.PictureLoaded, 1);
                      EXPECT_EQ(o.Notice, (std::vector<std::string>{"Can't render:NOBODY PIC",
                                                                    "Missing Image BODY hunk"}));
                  }},
        RouteCase{"Huge",
                  [](const std::string &p) {
                      test::BmhdFields f;
                      f.Width = 40000;
                      f.Height = 40000;
                      f.Bitplanes = 1;
                      const std::vector<std::uint32_t> colours{0, 0xFFFFFF};
                      test::IlbmBuilder b;
                      b.Bmhd(f).Cmap(colours).Body(test::Bytes(64, 0));
                      b.WriteFile(p);
                  },
                  false, true,
                  [](const Outcome &o) {
                      ASSERT_EQ(o.Messages.size(), 1u);
                      EXPECT_EQ(o.Messages[0].rfind("Load Error:  7  ", 0), 0u) << o.Messages[0];
                  }}));

TEST_F(OpenRouteTest, ArgumentAndDropOfAMissingFileReportIt) {
    const std::string missing = Path("never there.iff");
    tk_.QueueAnswer(IdOk);
    Main().OpenAtStart(FileFromArguments({"tambrel", QString::fromStdString(missing)}));
    Wait(30);
    const auto [entered, dropped] =
        DropUrls({QUrl::fromLocalFile(QString::fromStdString(missing))});
    EXPECT_TRUE(entered);
    EXPECT_TRUE(dropped);
    tk_.QueueAnswer(IdOk);
    Wait(30);
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{"Error- File Doesn't Exist", "Error- File Doesn't Exist"}));
    EXPECT_EQ(main_->Picture().PictureLoaded, 0);
}

// ---- Drops refused ----

TEST_F(OpenRouteTest, DropsWithoutALocalFileAreRefused) {
    WriteQuadPicture(Path("a.iff"), MakeQuadPicture(16, 16));
    LoadViaMenu(Path("a.iff"));
    const QImage before = main_->Picture6()->Image().copy();
    for (const QList<QUrl> &urls :
         {QList<QUrl>{}, QList<QUrl>{QUrl("http://host/b.iff")},
          QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(Dir()))}}) {
        const auto [entered, dropped] = DropUrls(urls);
        EXPECT_FALSE(entered);
        EXPECT_FALSE(dropped);
    }
    Wait(30);
    EXPECT_EQ(main_->Picture().PicturePath, Path("a.iff"));
    EXPECT_EQ(main_->Picture6()->Image(), before);
    EXPECT_TRUE(tk_.Messages.empty());
}

TEST_F(OpenRouteTest, DropOfSeveralFilesLoadsTheFirst) {
    WriteQuadPicture(Path("one.iff"), MakeQuadPicture(16, 8));
    WriteQuadPicture(Path("two.iff"), MakeQuadPicture(8, 16));
    Main();
    const auto [entered, dropped] =
        DropUrls({QUrl::fromLocalFile(QString::fromStdString(Path("one.iff"))),
                  QUrl::fromLocalFile(QString::fromStdString(Path("two.iff")))});
    EXPECT_TRUE(entered);
    EXPECT_TRUE(dropped);
    Wait(30);
    EXPECT_EQ(main_->Picture().PicturePath, Path("one.iff"));
    EXPECT_EQ(main_->Picture().Width, 16);
}

TEST_F(OpenRouteTest, DropAndArgumentAreRefusedWhileALoadIsUnderWay) {
    WriteQuadPicture(Path("first.iff"), MakeQuadPicture(16, 8));
    WriteQuadPicture(Path("second.iff"), MakeQuadPicture(8, 16));
    Main();
    std::pair<bool, bool> during{true, true};
    bool loadRefused = false, tried = false;
    tk_.OnYield = [&] {
        if (tried)
            return;
        tried = true;
        during = DropUrls({QUrl::fromLocalFile(QString::fromStdString(Path("second.iff")))});
        loadRefused = !main_->LoadFromPath(Path("second.iff"));
    };
    LoadViaMenu(Path("first.iff"));
    tk_.OnYield = nullptr;
    ASSERT_TRUE(tried);
    EXPECT_FALSE(during.first) << "drag enter refused while loading";
    EXPECT_FALSE(during.second) << "drop refused while loading";
    EXPECT_TRUE(loadRefused);
    Wait(30);
    EXPECT_EQ(main_->Picture().PicturePath, Path("first.iff"));
    EXPECT_EQ(main_->Picture().Width, 16);
    EXPECT_FALSE(main_->Busy());
}

TEST_F(OpenRouteTest, DropIsRefusedDuringABatchRun) {
    QDir(QString::fromStdString(Dir())).mkdir("batch");
    for (const char *name : {"b1.iff", "b2.iff", "b3.iff"})
        WriteQuadPicture(Path("batch/") + name, MakeQuadPicture(12, 6));
    WriteQuadPicture(Path("dropped.iff"), MakeQuadPicture(30, 10));
    Trigger("mnu_Convert_Folder");
    Frm_Batch_Conversion *batch = main_->BatchWindow();
    ASSERT_NE(batch, nullptr);
    batch->SetCurrentPath(Path("batch"));
    std::vector<std::pair<bool, bool>> during;
    tk_.OnYield = [&] {
        if (batch->Running())
            during.push_back(
                DropUrls({QUrl::fromLocalFile(QString::fromStdString(Path("dropped.iff")))}));
    };
    tk_.QueueAnswer(IdNo); // "convert another folder?"
    batch->Button_Convert_Click();
    tk_.OnYield = nullptr;
    ASSERT_FALSE(during.empty());
    for (const auto &[entered, dropped] : during) {
        EXPECT_FALSE(entered);
        EXPECT_FALSE(dropped);
    }
    Wait(30);
    EXPECT_NE(main_->Picture().PicturePath, Path("dropped.iff"));
    // Once the run is over the same drop is taken.
    const auto [entered, dropped] =
        DropUrls({QUrl::fromLocalFile(QString::fromStdString(Path("dropped.iff")))});
    EXPECT_TRUE(entered);
    EXPECT_TRUE(dropped);
    Wait(30);
    EXPECT_EQ(main_->Picture().PicturePath, Path("dropped.iff"));
}

} // namespace
} // namespace tambrel::guitest
