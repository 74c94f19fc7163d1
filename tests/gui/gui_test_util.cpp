#include "gui_test_util.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

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
    if (checkAllAnswersUsed_) {
        EXPECT_EQ(tk_.PendingAnswers(), 0u) << "scripted answers left unused";
        EXPECT_EQ(dialogs_.PendingAnswers(), 0u) << "scripted dialogs left unused";
    }
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

} // namespace tambrel::guitest
