// The filter helpers and the file dialogs' in/out rules (the program opens no other dialog).
#include "dialogs/common_dialog.h"
#include "dialogs/scripted_dialog_backend.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

using namespace std::string_literals;

namespace tambrel {
namespace {

const std::string kLoadFilter = "(*.Iff)|*.iff|(*.*)|*.*|";

TEST(FilterText, ConvertAndLookup) {
    const std::pair<std::string, std::string> converted[] = {
        {"(*.txt)|*.txt|", "(*.txt)\0*.txt\0\0\0"s},
        {kDefaultFileFilter, "All (*.*)\0 *.*\0\0"s}, // the blank is kept
        {"a:b|c", "a\0b\0c\0\0"s}};
    for (const auto &[in, out] : converted)
        EXPECT_EQ(ConvertFilter(in), out) << in;
    // Pairs are read up to the empty description the trailing bar leaves.
    EXPECT_EQ(SplitConvertedFilter(ConvertFilter(kLoadFilter)),
              (std::vector<FilterEntry>{{"(*.Iff)", "*.iff"}, {"(*.*)", "*.*"}}));

    const std::string load = ConvertFilter(kLoadFilter), all = ConvertFilter(kDefaultFileFilter);
    const std::tuple<std::string, std::int32_t, std::string> lookups[] = {
        {load, 0, ""},
        {load, 3, "\0"s},             // the two closing NULs form an empty piece
        {all, 3, "All (*.*)\0 *.*"s}, // past the end the walk starts again
        {"no nul at all", 1, ""}};
    for (const auto &[text, index, expected] : lookups)
        EXPECT_EQ(FilterLookup(text, index), expected) << index;
}

class CommonDialogTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(backend_.UnexpectedDialogs().empty()); }
    std::string PathIn(const std::string &name) const { return dir_ + "/" + name; }
    std::string MakeFile(const std::string &name) {
        std::ofstream(PathIn(name)) << "x";
        return PathIn(name);
    }

    QTemporaryDir tmp_;
    std::string dir_ = tmp_.path().toStdString();
    ScriptedDialogBackend backend_;
    ScopedDialogBackend scope_{backend_};
};

TEST_F(CommonDialogTest, FileDialogOutcomes) {
    MakeFile("pic.iff");
    MakeFile("pic.IFF");
    std::filesystem::create_directory(PathIn("folder.iff"));
    const std::string iff = "(*.Iff)\0*.iff"s, all = "(*.*)\0*.*"s;
    struct Case {
        bool save, accepted;
        std::string typed, ext;
        bool mustExistOrPrompt;
        std::int32_t chosen;
        std::string expected; // empty: refused
        std::int32_t filterIndex;
        std::string filter;
    } cases[] = {
        {false, true, "pic.iff", "IFF", true, 2, "pic.iff", 2, all},
        {false, true, "pic", "IFF", true, 1, "pic.IFF", 1, iff}, // extension before the check
        {false, true, "missing.iff", "", true, 1, "", -1, ""},
        {false, true, "folder.iff", "", true, 1, "", -1, ""},
        {false, true, "missing.iff", "", false, 1, "missing.iff", 1, iff},
        {false, false, "pic.iff", "", true, 1, "", -1, ""},
        {false, true, "", "", false, 1, "", -1, ""}, // accepted without a name
        {true, false, "out.bmp", "bmp", true, 1, "", 0, ""},
        {true, true, "", "bmp", true, 1, "", 0, ""},
        {true, true, "boat", "bmp", true, 2, "boat.bmp", 2, all},
        {true, true, "boat.BMP", "bmp", false, 1, "boat.BMP", 1, iff},
        {true, true, "my.pics/pal", ".TXT", true, 1, "my.pics/pal.TXT", 1, iff}, // folder's dot
        {true, true, "boat", "", false, 1, "boat", 1, iff}};
    cCommonDialog dlg; // one object: every call sets APIReturn afresh
    QWidget owner;
    for (const Case &c : cases) {
        SCOPED_TRACE((c.save ? "save " : "open ") + c.typed + " / " + c.ext);
        backend_.QueueFileAnswer(c.accepted, c.typed.empty() ? "" : PathIn(c.typed), c.chosen);
        const bool ok = !c.expected.empty();
        // Started over stale outputs, as the load and save commands do.
        auto check = [&](auto &a, bool shown) {
            EXPECT_EQ(shown, ok);
            EXPECT_EQ(dlg.APIReturn(), ok ? 1 : 0);
            EXPECT_EQ(a.Filename, ok ? PathIn(c.expected) : "");
            EXPECT_EQ(a.FileTitle.empty(), !ok);
            EXPECT_EQ(a.FilterIndex, c.filterIndex);
            EXPECT_EQ(a.Filter, c.filter);
            EXPECT_EQ(a.flags & 0x800, ok ? 0x800 : 0); // the caller's own bit kept when confirmed
        };
        auto prepare = [&](auto &a) {
            a.Filename = a.FileTitle = "old";
            a.Filter = kLoadFilter;
            a.FilterIndex = 2;
            a.flags = 0x800;
            a.DefaultExt = c.ext;
            a.InitDir = dir_;
            a.Owner = &owner;
        };
        if (c.save) {
            cCommonDialog::SaveArgs a;
            prepare(a);
            a.OverWritePrompt = c.mustExistOrPrompt;
            check(a, dlg.VBGetSaveFileName(a));
            EXPECT_EQ(backend_.FileRequests().back().overwritePrompt, c.mustExistOrPrompt);
            EXPECT_EQ((a.flags & kOfnOverwritePrompt) != 0, ok && c.mustExistOrPrompt);
        } else {
            cCommonDialog::OpenArgs a;
            prepare(a);
            a.FileMustExist = c.mustExistOrPrompt;
            check(a, dlg.VBGetOpenFileName(a));
        }
        const FileDialogRequest &req = backend_.FileRequests().back();
        EXPECT_EQ(std::tuple(req.save, req.fileMustExist, req.initDir, req.owner),
                  std::tuple(c.save, !c.save && c.mustExistOrPrompt, dir_, &owner));
        EXPECT_EQ(req.convertedFilter, "(*.Iff)\0*.iff\0(*.*)\0*.*\0\0\0"s);
    }
}

} // namespace
} // namespace tambrel
