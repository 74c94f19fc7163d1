// The installed tree and the desktop files: `cmake --install` of this build
// into a temporary prefix holds both programs, the desktop entry, the icon at
// every size, the manual page and (where the system lacks one) the MIME
// definition; the desktop entry passes its checker and the MIME definition
// builds a MIME database.
#include "tests/support/ilbm_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST_F(InstalledTree, HoldsProgramsDesktopFilesIconsAndManual) {
    for (const char *name : {"bin/tambrel", "bin/tambrel-convert"})
        EXPECT_TRUE(QFileInfo(At(name)).isExecutable()) << name;
    const RunResult version = RunProgram(At("bin/tambrel-convert"), {"--version"});
    EXPECT_EQ(version.Status, 0) << version.Output.toStdString();
    // Shipped files installed as they are; the MIME definition only when chosen.
    const std::pair<const char *, const char *> shipped[] = {
        {"share/applications/tambrel.desktop", "tambrel.desktop"},
        {"share/doc/tambrel/copyright", "copyright"},
        {"share/mime/packages/tambrel-ilbm.xml", "tambrel-ilbm.xml"}};
    for (const auto &[installed, source] : shipped) {
        const bool chosen = kMimeInstalled || !QString(source).endsWith(".xml");
        EXPECT_EQ(QFileInfo(At(installed)).isFile(), chosen) << installed;
        if (chosen) {
            EXPECT_EQ(ReadAll(At(installed)), ReadAll(kSourceDir + "/dist/" + source)) << installed;
        }
    }
    QProcess gunzip;
    gunzip.start("gzip", {"-d", "-c", At("share/man/man1/tambrel-convert.1.gz")});
    ASSERT_TRUE(gunzip.waitForFinished(10000));
    EXPECT_EQ(gunzip.readAllStandardOutput(),
              ReadAll(QString(TAMBREL_BINARY_DIR) + "/dist/tambrel-convert.1"));
    // The icon at every size, drawn at that size: a quarter of it or more opaque.
    for (int size : kIconSizes) {
        const QString path = At(QString("share/icons/hicolor/%1x%1/apps/tambrel.png").arg(size));
        QImage icon;
        ASSERT_TRUE(icon.load(path)) << path.toStdString();
        EXPECT_EQ(icon.size(), QSize(size, size)) << path.toStdString();
        int opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                opaque += qAlpha(icon.pixel(x, y)) > 128 ? 1 : 0;
        EXPECT_GT(opaque, size * size / 4) << size;
    }
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
    // What the checker cannot know: the entry opens ILBM pictures with the program.
    const QString entry = ReadAll(kSourceDir + "/dist/tambrel.desktop");
    for (const char *line : {"\nExec=tambrel %f\n", "\nMimeType=image/x-ilbm;\n"})
        EXPECT_TRUE(entry.contains(line)) << line;
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
