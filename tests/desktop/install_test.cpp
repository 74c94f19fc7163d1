// The installed tree and the desktop files: `cmake --install` of this build
// into a temporary prefix, the desktop entry against its checker and the MIME
// definition building a MIME database.
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

namespace {

const QString kSourceDir = TAMBREL_SOURCE_DIR;
constexpr bool kMimeInstalled = TAMBREL_MIME_INSTALLED != 0;

struct RunResult {
    int Status = -1;
    QString Output; // standard output and error together
};

RunResult RunProgram(const QString &program, const QStringList &args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(10000))
        return {-1, "could not start " + program};
    p.waitForFinished(100000);
    r.Output = QString::fromLocal8Bit(p.readAll());
    r.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Both programs, the shipped files as they are (the MIME definition only when
// chosen), the manual page and the icon drawn at every size.
TEST(InstalledTree, HoldsProgramsDesktopFilesIconsAndManual) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const RunResult install =
        RunProgram(TAMBREL_CMAKE, {"--install", TAMBREL_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.Status, 0) << install.Output.toStdString();
    auto at = [&](const QString &relative) { return prefix.path() + "/" + relative; };
    for (const char *name : {"bin/tambrel", "bin/tambrel-convert"})
        EXPECT_TRUE(QFileInfo(at(name)).isExecutable()) << name;
    const RunResult version = RunProgram(at("bin/tambrel-convert"), {"--version"});
    EXPECT_EQ(version.Status, 0) << version.Output.toStdString();
    const std::pair<const char *, const char *> shipped[] = {
        {"share/applications/tambrel.desktop", "tambrel.desktop"},
        {"share/doc/tambrel/copyright", "copyright"},
        {"share/mime/packages/tambrel-ilbm.xml", "tambrel-ilbm.xml"}};
    for (const auto &[installed, source] : shipped) {
        const bool chosen = kMimeInstalled || !QString(source).endsWith(".xml");
        EXPECT_EQ(QFileInfo(at(installed)).isFile(), chosen) << installed;
        EXPECT_EQ(ReadAll(at(installed)), chosen ? ReadAll(kSourceDir + "/dist/" + source) : "")
            << installed;
    }
    QProcess gunzip;
    gunzip.start("gzip", {"-d", "-c", at("share/man/man1/tambrel-convert.1.gz")});
    ASSERT_TRUE(gunzip.waitForFinished(10000));
    EXPECT_EQ(gunzip.readAllStandardOutput(),
              ReadAll(QString(TAMBREL_BINARY_DIR) + "/dist/tambrel-convert.1"));
    // A quarter of each icon or more is opaque.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = at(QString("share/icons/hicolor/%1x%1/apps/tambrel.png").arg(size));
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

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
    if (tool.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const RunResult r = RunProgram(tool, {kSourceDir + "/dist/tambrel.desktop"});
    EXPECT_EQ(r.Status, 0) << r.Output.toStdString();
    EXPECT_TRUE(r.Output.trimmed().isEmpty()) << "no hints or warnings: " << r.Output.toStdString();
    // What the checker cannot know: the entry opens ILBM pictures with the program.
    const QByteArray entry = ReadAll(kSourceDir + "/dist/tambrel.desktop");
    for (const char *line : {"\nExec=tambrel %f\n", "\nMimeType=image/x-ilbm;\n"})
        EXPECT_TRUE(entry.contains(line)) << line;
}

TEST(MimeDefinition, BuildsAMimeDatabaseWithTheGlobsAndMagic) {
    const QString tool = QStandardPaths::findExecutable("update-mime-database");
    if (tool.isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed";
    QTemporaryDir dir;
    const QString mime = dir.path() + "/mime";
    ASSERT_TRUE(dir.isValid() && QDir().mkpath(mime + "/packages"));
    ASSERT_TRUE(
        QFile::copy(kSourceDir + "/dist/tambrel-ilbm.xml", mime + "/packages/tambrel-ilbm.xml"));
    const RunResult r = RunProgram(tool, {mime});
    ASSERT_EQ(r.Status, 0) << r.Output.toStdString();
    const QByteArray globs = ReadAll(mime + "/globs2"), magic = ReadAll(mime + "/magic");
    for (const char *pattern : {"*.iff", "*.ilbm", "*.lbm"})
        EXPECT_TRUE(globs.contains(QByteArray("image/x-ilbm:") + pattern)) << pattern;
    for (const char *rule : {"image/x-ilbm", "FORM", "ILBM"})
        EXPECT_TRUE(magic.contains(rule)) << rule;
}

// Where our definition is left out, the system's database must know the
// pictures (by name and by content alone), or file managers could not offer the program.
TEST(MimeDefinition, SystemDatabaseKnowsIlbmWhenOursIsLeftOut) {
    if (kMimeInstalled)
        GTEST_SKIP() << "this build installs its own MIME definition";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    tambrel::test::SimpleIlbm s;
    s.Image = tambrel::test::ChunkyImage(8, 4, 1);
    s.Colours = {0x000000, 0xFFFFFF};
    for (const char *name : {"picture.iff", "picture.lbm", "no-extension"}) {
        const QString path = dir.path() + "/" + name;
        tambrel::test::WriteBytes(path.toStdString(), tambrel::test::BuildSimple(s));
        EXPECT_EQ(QMimeDatabase().mimeTypeForFile(path).name(), "image/x-ilbm") << name;
    }
}

} // namespace
