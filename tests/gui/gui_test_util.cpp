#include "gui_test_util.h"

#include "batch/batch_conversion.h"
#include "output/bmp_writer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMimeData>
#include <QThread>
#include <QUrl>

#include <fstream>
#include <sstream>

namespace tambrel::guitest {

void Wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

std::string ReadText(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteText(const std::string &path, const std::string &text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
}

bool Exists(const std::string &path) {
    return QFileInfo::exists(QString::fromStdString(path));
}

void MakeFolder(const std::string &path) {
    QDir().mkpath(QString::fromStdString(path));
}

std::vector<std::string> Bitmaps(const std::string &folder) {
    std::vector<std::string> names;
    for (const QString &n :
         QDir(QString::fromStdString(folder))
             .entryList({"*.bmp"}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        names.push_back(n.toStdString());
    return names;
}

bool AllWhite(const QImage &img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != kWhite)
                return false;
    return true;
}

QuadPicture MakeQuadPicture(int width, int height) {
    QuadPicture p;
    p.Image = test::ChunkyImage(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.Image.At(x, y) =
                static_cast<std::uint8_t>(1 + (x >= width / 2 ? 1 : 0) + (y >= height / 2 ? 2 : 0));
    p.Colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x808080, 0x00FFFF, 0xFF00FF};
    return p;
}

void WriteQuadPicture(const std::string &path, const QuadPicture &pic, bool compressed,
                      std::optional<std::uint32_t> modeId) {
    test::SimpleIlbm s;
    s.Image = pic.Image;
    s.Colours = pic.Colours;
    s.ModeId = modeId;
    s.Compressed = compressed;
    test::WriteBytes(path, test::BuildSimple(s));
}

void WriteNoBodyPicture(const std::string &path, int width, int height, int planes) {
    test::ChunkyImage img(width, height, planes);
    std::vector<std::uint32_t> colours(std::size_t{1} << planes, 0x102030);
    test::IlbmBuilder b;
    b.Bmhd(test::HeaderFor(img, false)).Cmap(colours);
    b.WriteFile(path);
}

QColor Rgb(std::uint32_t colour) {
    return QColor((colour >> 16) & 255, (colour >> 8) & 255, colour & 255);
}

void WriteBitmap(const IFF_Picture &pic, const std::string &path) {
    WriteBitmapFile(pic, path, pic.Width, pic.Height);
}

void ExpectQuestion(const ScriptedToolkit::Shown &m, const std::string &text,
                    const std::string &title) {
    EXPECT_EQ(m.Text, text);
    EXPECT_EQ(m.Title, title);
    EXPECT_EQ(m.Buttons, MbYesNo);
    EXPECT_EQ(m.Icon, MbQuestion);
}

void GuiTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(config_.isValid());
    tk_.Folder = Dir();
    SetToolkit(&tk_);
    SetDialogBackend(&dialogs_);
}

void GuiTest::TearDown() {
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

TambrelMain &GuiTest::Main() {
    if (!main_) {
        // No start-up splash unless a test asks for it.
        if (!Exists(Path("TambrelPref.txt")))
            WriteText(Path("TambrelPref.txt"), "Splash:-1\r\nTHEEND:\r\n");
        MakeMain({Dir(), config_.path().toStdString()});
    }
    return *main_;
}

void GuiTest::MakeMain(const MainWindowOptions &options) {
    main_ = std::make_unique<TambrelMain>(options);
}

void GuiTest::Trigger(const char *actionName) {
    auto *action = Main().findChild<QAction *>(actionName);
    ASSERT_NE(action, nullptr) << actionName;
    action->trigger();
}

void GuiTest::LoadViaMenu(const std::string &path) {
    dialogs_.QueueFileAnswer(true, path);
    Trigger("mnu_file_Load");
}

std::vector<std::string> GuiTest::MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto &m : tk_.Messages)
        texts.push_back(m.Text);
    return texts;
}

Frm_Batch_Conversion &GuiTest::OpenBatch(const std::string &folder) {
    Trigger("mnu_Convert_Folder");
    Frm_Batch_Conversion *w = main_->BatchWindow();
    EXPECT_NE(w, nullptr);
    if (!folder.empty())
        w->SetCurrentPath(folder);
    return *w;
}

std::pair<bool, bool> GuiTest::Drop(const std::vector<std::string> &paths) {
    QList<QUrl> urls;
    for (const std::string &p : paths)
        urls << (p.find("://") != std::string::npos
                     ? QUrl(QString::fromStdString(p))
                     : QUrl::fromLocalFile(QString::fromStdString(p)));
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Main(), &enter);
    QDropEvent drop(QPointF(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Main(), &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

void GuiTest::ExpectWrittenBy(const std::string &path, Writer write) {
    const std::string reference = config_.path().toStdString() + "/reference";
    write(main_->Picture(), reference);
    const test::Bytes expected = test::ReadBytes(reference);
    EXPECT_GT(expected.size(), 0u);
    EXPECT_TRUE(test::ReadBytes(path) == expected) << path;
}

} // namespace tambrel::guitest
