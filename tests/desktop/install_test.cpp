// The installed tree and the desktop files: `cmake --install` of this build
// into a temporary prefix holds both programs, the desktop entry, the icon at
// every size, the manual page and (where the system lacks one) the MIME
// definition; the desktop entry and MIME definition pass the desktop's own
// checkers.
#include "tests/support/ilbm_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

const QString kBinaryDir = TAMBREL_BINARY_DIR;
const QString kSourceDir = TAMBREL_SOURCE_DIR;
constexpr bool kMimeInstalled = TAMBREL_MIME_INSTALLED != 0;
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

struct RunResult {
    int Status = -1;
    QString Output; // standard output and error together
};

RunResult RunProgram(const QString &program, const QStringList &args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(10000)) {
        r.Output = "could not start " + program;
        return r;
    }
    p.waitForFinished(100000);
    r.Output = QString::fromLocal8Bit(p.readAll());
    r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QString ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// One install per run of the suite; every test looks at the same tree.
class InstalledTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(prefix_->isValid());
        install_ =
            RunProgram(TAMBREL_CMAKE, {"--install", kBinaryDir, "--prefix", prefix_->path()});
    }
    static void TearDownTestSuite() { prefix_.reset(); }
    void SetUp() override { ASSERT_EQ(install_.Status, 0) << install_.Output.toStdString(); }
    static QString At(const QString &relative) { return prefix_->path() + "/" + relative; }

    static std::unique_ptr<QTemporaryDir> prefix_;
    static RunResult install_;
};
std::unique_ptr<QTemporaryDir> InstalledTree::prefix_;
RunResult InstalledTree::install_;

TEST_F(InstalledTree, HoldsBothProgramsAsExecutables) {
    for (const char *name : {"bin/tambrel", "bin/tambrel-convert"}) {
        const QFileInfo info(At(name));
        EXPECT_TRUE(info.isFile()) << name;
        EXPECT_TRUE(info.isExecutable()) << name;
    }
    // The installed converter runs from there.
    const RunResult version = RunProgram(At("bin/tambrel-convert"), {"--version"});
    EXPECT_EQ(version.Status, 0) << version.Output.toStdString();
    EXPECT_FALSE(version.Output.trimmed().isEmpty());
}

TEST_F(InstalledTree, HoldsTheDesktopEntryAsShipped) {
    const QString installed = At("share/applications/tambrel.desktop");
    ASSERT_TRUE(QFileInfo(installed).isFile());
    EXPECT_EQ(ReadAll(installed), ReadAll(kSourceDir + "/dist/tambrel.desktop"));
}

TEST_F(InstalledTree, HoldsTheIconAtEverySizeDrawnAtThatSize) {
    for (int size : kIconSizes) {
        const QString path = At(QString("share/icons/hicolor/%1x%1/apps/tambrel.png").arg(size));
        QImage icon;
        ASSERT_TRUE(icon.load(path)) << path.toStdString();
        EXPECT_EQ(icon.size(), QSize(size, size)) << path.toStdString();
        // Drawn, not blank: some pixels are opaque, the corners are not all filled.
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                opaque += qAlpha(icon.pixel(x, y)) > 128 ? 1 : 0;
        EXPECT_GT(opaque, size * size / 4) << size;
    }
}

TEST_F(InstalledTree, HoldsTheConverterManualPage) {
    const QString page = At("share/man/man1/tambrel-convert.1.gz");
    ASSERT_TRUE(QFileInfo(page).isFile());
    QProcess gunzip;
    gunzip.start("gzip", {"-d", "-c", page});
    ASSERT_TRUE(gunzip.waitForFinished(10000));
    EXPECT_EQ(gunzip.readAllStandardOutput(), ReadAll(QString(TAMBREL_BINARY_DIR) + "/dist/tambrel-convert.1"));
    EXPECT_TRUE(QFileInfo(At("share/doc/tambrel/copyright")).isFile());
}

TEST_F(InstalledTree, HoldsTheMimeDefinitionOnlyWhenChosen) {
    const QString xml = At("share/mime/packages/tambrel-ilbm.xml");
    EXPECT_EQ(QFileInfo(xml).isFile(), kMimeInstalled);
    if (kMimeInstalled) {
        EXPECT_EQ(ReadAll(xml), ReadAll(kSourceDir + "/dist/tambrel-ilbm.xml"));
    }
}

// A picture of four plain quadrants: red, green, blue, yellow.
tambrel::test::Bytes QuadrantPicture() {
    tambrel::test::SimpleIlbm s;
    s.Image = tambrel::test::ChunkyImage(64, 48, 2);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            s.Image.At(x, y) = static_cast<std::uint8_t>((x >= 32 ? 1 : 0) + (y >= 24 ? 2 : 0));
    s.Colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    return tambrel::test::BuildSimple(s);
}

int PixelsOf(const QImage &image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
    return n;
}

// The installed program, started as "tambrel FILE" with a relative FILE,
// shows the picture in its preview; the screenshot tour saves the windows.
TEST_F(InstalledTree, ProgramShowsTheFileNamedOnItsCommandLine) {
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    tambrel::test::WriteBytes((work.path() + "/quad.iff").toStdString(), QuadrantPicture());
    QFile::remove(At("bin/TambrelPref.txt")); // a first start
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TAMBREL_SCREENSHOT_DIR", work.path() + "/shots");
    env.remove("TAMBREL_SCREENSHOT_BATCH_FOLDER");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(At("bin/tambrel"), {"quad.iff", "ignored-second.iff"});
    ASSERT_TRUE(p.waitForStarted(10000));
    ASSERT_TRUE(p.waitForFinished(60000)) << "the tour ends the program";
    EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();

    QImage main, picture;
    ASSERT_TRUE(main.load(work.path() + "/shots/main.png"));
    ASSERT_TRUE(picture.load(work.path() + "/shots/picture.png"));
    EXPECT_TRUE(QFileInfo(work.path() + "/shots/splash.png").isFile());
    // The preview stretches each 32 x 24 quadrant to about 160 x 128.
    for (QRgb colour : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFF00u}) {
        EXPECT_GT(PixelsOf(main, colour), 15000) << std::hex << colour;
        EXPECT_GE(PixelsOf(picture, colour), 32 * 24) << std::hex << colour;
    }
    // The program wrote its preferences beside itself on the way out.
    EXPECT_TRUE(QFileInfo(At("bin/TambrelPref.txt")).isFile());
}

// ---- The desktop files themselves ----

QString Tool(const char *name) {
    return QStandardPaths::findExecutable(name);
}

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString tool = Tool("desktop-file-validate");
    if (tool.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const RunResult r = RunProgram(tool, {kSourceDir + "/dist/tambrel.desktop"});
    EXPECT_EQ(r.Status, 0) << r.Output.toStdString();
    EXPECT_TRUE(r.Output.trimmed().isEmpty()) << "no hints or warnings: " << r.Output.toStdString();
}

TEST(DesktopEntry, OpensIlbmPicturesWithTheProgram) {
    const QString entry = ReadAll(kSourceDir + "/dist/tambrel.desktop");
    QMap<QString, QString> keys;
    for (const QString &line : entry.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            keys[line.left(eq)] = line.mid(eq + 1);
    }
    EXPECT_EQ(keys["Name"], "Tambrel");
    EXPECT_EQ(keys["Icon"], "tambrel");
    EXPECT_EQ(keys["MimeType"], "image/x-ilbm;");
    // The program takes one file path (tambrel FILE).
    EXPECT_EQ(keys["Exec"], "tambrel %f");
    const QStringList categories = keys["Categories"].split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(categories.contains("Graphics"));
    EXPECT_TRUE(categories.contains("Viewer"));
}

TEST(MimeDefinition, PassesXmllint) {
    const QString tool = Tool("xmllint");
    if (tool.isEmpty())
        GTEST_SKIP() << "xmllint is not installed";
    const RunResult r = RunProgram(tool, {"--noout", kSourceDir + "/dist/tambrel-ilbm.xml"});
    EXPECT_EQ(r.Status, 0) << r.Output.toStdString();
}

TEST(MimeDefinition, BuildsAMimeDatabaseWithTheGlobsAndMagic) {
    const QString tool = Tool("update-mime-database");
    if (tool.isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString mime = dir.path() + "/mime";
    ASSERT_TRUE(QDir().mkpath(mime + "/packages"));
    ASSERT_TRUE(
        QFile::copy(kSourceDir + "/dist/tambrel-ilbm.xml", mime + "/packages/tambrel-ilbm.xml"));
    const RunResult r = RunProgram(tool, {mime});
    ASSERT_EQ(r.Status, 0) << r.Output.toStdString();
    const QString globs = ReadAll(mime + "/globs2");
    for (const char *pattern : {"*.iff", "*.ilbm", "*.lbm"})
        EXPECT_TRUE(globs.contains(QString("image/x-ilbm:") + pattern)) << pattern;
    QFile magic(mime + "/magic");
    ASSERT_TRUE(magic.open(QIODevice::ReadOnly));
    const QByteArray rules = magic.readAll();
    EXPECT_TRUE(rules.contains("image/x-ilbm"));
    EXPECT_TRUE(rules.contains("FORM"));
    EXPECT_TRUE(rules.contains("ILBM"));
}

// Where our definition is left out, the system's database must know the
// pictures, or file managers could not offer the program for them.
TEST(MimeDefinition, SystemDatabaseKnowsIlbmWhenOursIsLeftOut) {
    if (kMimeInstalled)
        GTEST_SKIP() << "this build installs its own MIME definition";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    tambrel::test::ChunkyImage image(8, 4, 1);
    tambrel::test::SimpleIlbm s;
    s.Image = image;
    s.Colours = {0x000000, 0xFFFFFF};
    const auto bytes = tambrel::test::BuildSimple(s);
    // By name, and by content alone.
    for (const char *name : {"picture.iff", "picture.lbm", "no-extension"}) {
        const QString path = dir.path() + "/" + name;
        tambrel::test::WriteBytes(path.toStdString(), bytes);
        EXPECT_EQ(QMimeDatabase().mimeTypeForFile(path).name(), "image/x-ilbm") << name;
    }
}

} // namespace
