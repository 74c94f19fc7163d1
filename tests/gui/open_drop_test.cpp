// Files handed over by the desktop: the program's arguments and drops. That
// they load as the open dialog does is checked with the load's outcomes.
#include "gui_test_util.h"

#include "app/open_request.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

namespace tambrel::guitest {
namespace {

TEST(FileArgument, PicksTheFirstFileAsAnAbsolutePath) {
    const QString here = QDir::currentPath() + "/";
    struct Case {
        QStringList args; // after the program name
        QString expected;
    };
    const Case cases[] = {
        {{}, ""},
        {{"/p/a.iff"}, "/p/a.iff"},
        {{"pics/a.iff"}, here + "pics/a.iff"},
        {{"./a.iff"}, here + "a.iff"},
        {{"/p/first.iff", "/p/second.iff"}, "/p/first.iff"},
        {{"-v", "--verbose", "/p/a.iff"}, "/p/a.iff"},
        {{"-v", "--x"}, ""},
        {{"--", "-dash.iff"}, here + "-dash.iff"},
        {{"file:///p/a%20b.iff"}, "/p/a b.iff"},
        {{"FILE:///p/a.iff"}, "/p/a.iff"},
        {{"http://host/a.iff", "/p/b.iff"}, "/p/b.iff"},
        {{"", "/p/b.iff"}, "/p/b.iff"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FileFromArguments(QStringList{"tambrel"} + c.args), c.expected.toStdString())
            << c.args.join(' ').toStdString();
}

TEST(DropData, FirstLocalFileSkipsFoldersAndOtherUrls) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path(), file = folder + "/x.iff";
    QMimeData data;
    EXPECT_EQ(FirstLocalFile(data), "") << "no URLs";
    data.setText(file);
    EXPECT_EQ(FirstLocalFile(data), "") << "plain text is not a file";
    data.setUrls({QUrl("http://host/a.iff"), QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file),
                  QUrl::fromLocalFile(folder + "/y.iff")});
    EXPECT_EQ(FirstLocalFile(data), file.toStdString());
}

TEST_F(GuiTest, DropsWithoutALocalFileAreRefused) {
    for (const auto &refused :
         std::vector<std::vector<std::string>>{{}, {"http://host/b.iff"}, {Dir()}})
        EXPECT_EQ(Drop(refused), std::pair(false, false));
}

} // namespace
} // namespace tambrel::guitest
