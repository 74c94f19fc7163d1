// `cmake --install` into a temporary prefix, the desktop entry's checker, the MIME definition.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kSourceDir = TAMBREL_SOURCE_DIR;
constexpr bool kMimeInstalled = TAMBREL_MIME_INSTALLED != 0;

// The exit code (-1: not started or crashed) and standard output and error together.
std::pair<int, std::string> RunProgram(const QString &program, const QStringList &args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(100000))
        return {-1, "could not run " + program.toStdString()};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll().toStdString()};
}

QByteArray ReadAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Both programs, the shipped files (MIME only when chosen), the manual pages, the
// AppStream file and every icon size.
TEST(InstalledTree, HoldsProgramsDesktopFilesIconsAndManual) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const auto [status, output] =
        RunProgram(TAMBREL_CMAKE, {"--install", TAMBREL_BINARY_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(status, 0) << output;
    auto at = [&](const QString &relative) { return prefix.path() + "/" + relative; };
    for (const char *name : {"bin/tambrel", "bin/tambrel-convert"})
        EXPECT_TRUE(QFileInfo(at(name)).isExecutable()) << name;
    EXPECT_EQ(RunProgram(at("bin/tambrel-convert"), {"--version"}).first, 0);
    const std::pair<const char *, const char *> shipped[] = {
        {"share/applications/tambrel.desktop", "tambrel.desktop"},
        {"share/doc/tambrel/copyright", "copyright"},
        {"share/mime/packages/tambrel-ilbm.xml", "tambrel-ilbm.xml"}};
    for (const auto &[installed, source] : shipped) {
        const bool chosen = kMimeInstalled || !QString(source).endsWith(".xml");
        EXPECT_EQ(ReadAll(at(installed)), chosen ? ReadAll(kSourceDir + "/dist/" + source) : "")
            << installed;
    }
    for (const char *page : {"tambrel", "tambrel-convert", "tambrel-thumbnail"}) {
        EXPECT_EQ(RunProgram("gzip", {"-d", "-c", at(QString("share/man/man1/%1.1.gz").arg(page))})
                      .second,
                  ReadAll(QString(TAMBREL_BINARY_DIR) + "/dist/" + page + ".1").toStdString())
            << page;
    }
    const QByteArray metainfo =
        ReadAll(QString(TAMBREL_BINARY_DIR) + "/dist/org.tambrel.tambrel.metainfo.xml");
    EXPECT_TRUE(metainfo.contains("<release version=\"" + QByteArray(TAMBREL_VERSION) + "\""));
    EXPECT_EQ(ReadAll(at("share/metainfo/org.tambrel.tambrel.metainfo.xml")), metainfo);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = at(QString("share/icons/hicolor/%1x%1/apps/tambrel.png").arg(size));
        EXPECT_EQ(QImage(path).size(), QSize(size, size)) << path.toStdString();
    }
}

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
    if (tool.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const auto [status, output] = RunProgram(tool, {kSourceDir + "/dist/tambrel.desktop"});
    EXPECT_EQ(std::pair(status, output), std::pair(0, std::string())) << "no hints or warnings";
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
    const auto [status, output] = RunProgram(tool, {mime});
    ASSERT_EQ(status, 0) << output;
    const QByteArray globs = ReadAll(mime + "/globs2"), magic = ReadAll(mime + "/magic");
    for (const char *pattern : {"*.iff", "*.ilbm", "*.lbm"})
        EXPECT_TRUE(globs.contains(QByteArray("image/x-ilbm:") + pattern)) << pattern;
    for (const char *rule : {"image/x-ilbm", "FORM", "ILBM", "PBM ", "ACBM"})
        EXPECT_TRUE(magic.contains(rule)) << rule;
}

} // namespace
