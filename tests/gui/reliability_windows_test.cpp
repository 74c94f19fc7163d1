// The windows against long loads, read-only targets and names
// that are no valid UTF-8.
#include "app/open_request.h"
#include "gui_test_util.h"

#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace tambrel::guitest {
namespace {

class ReliableWindows : public GuiTest {};

// The event loop runs while a picture loads: a timer fires during the load.
TEST_F(ReliableWindows, EventLoopRunsDuringLoad) {
    test::ChunkyImage img(2048, 2048, 8);
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(x * 7 + y * 13);
    test::SimpleIlbm s;
    s.Image = img;
    s.Colours.assign(256, 0x336699);
    s.Compressed = true;
    test::WriteBytes(Path("big.iff"), test::BuildSimple(s));
    Main();
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    ASSERT_TRUE(Main().LoadFromPath(Path("big.iff")));
    timer.stop();
    EXPECT_EQ(Main().Picture().Width, 2048);
    EXPECT_GT(ticks, 0) << "the window was frozen during the load";
}

// A read-only target of Save is asked about: "No" keeps it, "Yes" replaces it.
TEST_F(ReliableWindows, ReadOnlyTargetIsAskedAbout) {
    WriteQuadPicture(Path("q.iff"), MakeQuadPicture(16, 8));
    ASSERT_TRUE(Main().LoadFromPath(Path("q.iff")));
    const std::string bmp = Path("q.bmp");
    for (const int answer : {IdNo, IdYes}) {
        WriteText(bmp, "old");
        ::chmod(bmp.c_str(), 0444);
        tk_.QueueAnswer(IdYes); // the file exists: overwrite it?
        tk_.QueueAnswer(answer);
        Trigger("mnu_File_SAVE");
        ExpectQuestion(tk_.Messages.back(), "The file " + bmp + " is read-only. Replace it anyway?",
                       "WARNING");
        if (answer == IdNo)
            EXPECT_EQ(ReadText(bmp), "old");
        else
            EXPECT_EQ(ReadText(bmp).size(), 54u + 16 * 8 * 4) << "replaced by the BMP";
    }
}

// A name that is no valid UTF-8 keeps its bytes from the command line, from
// a drop and from the batch window's listing to the load and the BMP.
TEST_F(ReliableWindows, NonUtf8NamesKeepTheirBytes) {
    const std::string name = Path("\xff\xfe.iff");
    WriteQuadPicture(name, MakeQuadPicture(16, 8));
    std::string args[] = {"tambrel", "-x", name};
    char *argv[] = {args[0].data(), args[1].data(), args[2].data()};
    EXPECT_EQ(FileFromArguments(3, argv), name);
    ASSERT_TRUE(Main().LoadFromPath(FileFromArguments(3, argv)));
    EXPECT_EQ(Main().Picture().PicturePath, name);
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QByteArray("file://") +
                                    QByteArray::fromStdString(name).toPercentEncoding("/"))});
    EXPECT_EQ(FirstLocalFile(data), name);
    Frm_Batch_Conversion &batch = OpenBatch(Dir());
    EXPECT_EQ(batch.FolderFiles(), (std::vector<std::string>{"\xff\xfe.iff"}));
    tk_.QueueAnswer(IdNo); // convert another folder?
    batch.Button_Convert_Click();
    EXPECT_TRUE(FileExists(Path("\xff\xfe.bmp")));
    ::unlink(Path("\xff\xfe.bmp").c_str());
    ::unlink(name.c_str()); // a name the temporary folder's clean-up cannot see
}

} // namespace
} // namespace tambrel::guitest
