// The pure helpers: filter conversion and look-up, NUL cutting, default
// extension, rounding and margin scaling.
#include "dialogs/filter_text.h"

#include <gtest/gtest.h>

#include <limits>

using namespace std::string_literals;

namespace tambrel {
namespace {

const std::string kLoadFilter = "(*"s + ".Iff" + ")|*.iff|(*.*)|*.*|";

struct ConvertCase {
    std::string in;
    std::string out;
};

class ConvertFilterTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFilterTest, BarsAndColonsBecomeNulsAndTwoNulsEnd) {
    EXPECT_EQ(ConvertFilter(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertFilterTest,
                         ::testing::Values(ConvertCase{"(*.txt)|*.txt|", "(*.txt)\0*.txt\0\0\0"s},
                                           ConvertCase{kDefaultFileFilter, "All (*.*)\0 *.*\0\0"s},
                                           ConvertCase{"", "\0\0"s},
                                           ConvertCase{"a:b|c", "a\0b\0c\0\0"s},
                                           ConvertCase{"||", "\0\0\0\0"s},
                                           ConvertCase{"Pic (*.iff;*.ilbm)|*.iff;*.ilbm|",
                                                       "Pic (*.iff;*.ilbm)\0*.iff;*.ilbm\0\0\0"s}));

TEST(SplitConvertedFilter, ReadsPairsUpToTheEmptyDescription) {
    auto entries = SplitConvertedFilter(ConvertFilter(kLoadFilter));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (FilterEntry{"(*.Iff)", "*.iff"}));
    EXPECT_EQ(entries[1], (FilterEntry{"(*.*)", "*.*"}));

    auto defaults = SplitConvertedFilter(ConvertFilter(kDefaultFileFilter));
    ASSERT_EQ(defaults.size(), 1u);
    EXPECT_EQ(defaults[0], (FilterEntry{"All (*.*)", " *.*"})); // the blank is kept

    EXPECT_TRUE(SplitConvertedFilter(ConvertFilter("")).empty());
    // A colon separates too, so "Pics: IFF" is a description and a pattern.
    auto colon = SplitConvertedFilter(ConvertFilter("Pics: IFF|*.iff|"));
    ASSERT_EQ(colon.size(), 2u);
    EXPECT_EQ(colon[0], (FilterEntry{"Pics", " IFF"}));
    EXPECT_EQ(colon[1], (FilterEntry{"*.iff", ""}));
}

TEST(TrimAtNul, CutsAtTheFirstNul) {
    EXPECT_EQ(TrimAtNul("abc\0def\0"s), "abc");
    EXPECT_EQ(TrimAtNul("abc"), "abc");
    EXPECT_EQ(TrimAtNul(""), "");
    EXPECT_EQ(TrimAtNul("\0abc"s), "");
    EXPECT_EQ(TrimAtNul("/home/a/pic.iff" + std::string(244, '\0')), "/home/a/pic.iff");
}

struct LookupCase {
    std::string converted;
    std::int32_t index;
    std::string expected;
};

class FilterLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FilterLookupTest, FindsThePair) {
    EXPECT_EQ(FilterLookup(GetParam().converted, GetParam().index), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterLookupTest,
    ::testing::Values(LookupCase{"", 1, ""}, LookupCase{"", 0, ""},
                      LookupCase{ConvertFilter(kLoadFilter), 0, ""},
                      LookupCase{ConvertFilter(kLoadFilter), -3, ""},
                      LookupCase{ConvertFilter(kLoadFilter), 1, "(*.Iff)\0*.iff"s},
                      LookupCase{ConvertFilter(kLoadFilter), 2, "(*.*)\0*.*"s},
                      // Past the last pair: the two closing NULs form an empty piece.
                      LookupCase{ConvertFilter(kLoadFilter), 3, "\0"s},
                      LookupCase{ConvertFilter(kDefaultFileFilter), 1, "All (*.*)\0 *.*"s},
                      // The last NUL has no partner: that piece is the rest of the text and
                      // the walk starts again at the beginning.
                      LookupCase{ConvertFilter(kDefaultFileFilter), 2, "\0"s},
                      LookupCase{ConvertFilter(kDefaultFileFilter), 3, "All (*.*)\0 *.*"s},
                      LookupCase{"a\0b"s, 1, "a\0b"s}, LookupCase{"a\0b"s, 2, "a\0b"s},
                      LookupCase{"no nul at all", 1, ""}));

TEST(FileTitleOfPath, NamePartOrEmpty) {
    EXPECT_EQ(FileTitleOfPath("/home/user/pics/boat.iff"), "boat.iff");
    EXPECT_EQ(FileTitleOfPath("boat.iff"), "boat.iff");
    EXPECT_EQ(FileTitleOfPath("/home/user/"), "");
    EXPECT_EQ(FileTitleOfPath(""), "");
}

struct ExtCase {
    std::string path;
    std::string ext;
    std::string expected;
};

class DefaultExtensionTest : public ::testing::TestWithParam<ExtCase> {};

TEST_P(DefaultExtensionTest, AppendsOnlyWhenTheNameHasNone) {
    EXPECT_EQ(ApplyDefaultExtension(GetParam().path, GetParam().ext), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DefaultExtensionTest,
    ::testing::Values(ExtCase{"/tmp/boat", "bmp", "/tmp/boat.bmp"},
                      ExtCase{"boat", "bmp", "boat.bmp"},
                      ExtCase{"/tmp/boat.BMP", "bmp", "/tmp/boat.BMP"},
                      ExtCase{"/tmp/boat.iff", "bmp", "/tmp/boat.iff"},
                      ExtCase{"/tmp/boat", "", "/tmp/boat"},
                      ExtCase{"/tmp/boat", ".txt", "/tmp/boat.txt"},
                      // The dot of a folder name does not count.
                      ExtCase{"/tmp/my.pics/boat", "IFF", "/tmp/my.pics/boat.IFF"},
                      ExtCase{"/tmp/", "bmp", "/tmp/"}, ExtCase{"", "bmp", ""}));

struct RoundCase {
    double value;
    std::int32_t expected;
};

class RoundHalfEvenTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfEvenTest, HalvesGoToEven) {
    EXPECT_EQ(RoundHalfEven(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundHalfEvenTest,
                         ::testing::Values(RoundCase{0.5, 0}, RoundCase{1.5, 2}, RoundCase{2.5, 2},
                                           RoundCase{3.5, 4}, RoundCase{-0.5, 0},
                                           RoundCase{-1.5, -2}, RoundCase{-2.5, -2},
                                           RoundCase{2.4999, 2}, RoundCase{2.5001, 3},
                                           RoundCase{-2.6, -3}, RoundCase{7.0, 7},
                                           RoundCase{1e12, 2147483647},
                                           RoundCase{-1e12, -2147483647 - 1}));

TEST(MarginScaling, InchesByThousandMillimetresByHundred) {
    EXPECT_EQ(MarginScale(0), 1000);
    EXPECT_EQ(MarginScale(1), 100);
    EXPECT_EQ(MarginScale(-7), 100);
    EXPECT_EQ(MarginToDialog(1, 0), 1000);
    EXPECT_EQ(MarginToDialog(1, 1), 100);
    EXPECT_EQ(MarginToDialog(-3, 0), -3000);
    EXPECT_EQ(MarginToDialog(3000000, 0), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(MarginFromDialog(1500, 0), 2);
    EXPECT_EQ(MarginFromDialog(2500, 0), 2);
    EXPECT_EQ(MarginFromDialog(3500, 0), 4);
    EXPECT_EQ(MarginFromDialog(1499, 0), 1);
    EXPECT_EQ(MarginFromDialog(250, 1), 2);
    EXPECT_EQ(MarginFromDialog(350, 1), 4);
    EXPECT_EQ(MarginFromDialog(2540, 1), 25);
}

TEST(LogFontHeight, PointsToNegativePixels) {
    EXPECT_EQ(LogFontHeight(12.0, 15), -16);
    EXPECT_EQ(LogFontHeight(8.0, 15), -11); // 10.67
    EXPECT_EQ(LogFontHeight(9.0, 12), -15);
    EXPECT_EQ(LogFontHeight(3.0, 8), -8);   // 7.5 goes to the even 8
    EXPECT_EQ(LogFontHeight(12.0, 0), -16); // a broken screen value falls back to 15
}

} // namespace
} // namespace tambrel
