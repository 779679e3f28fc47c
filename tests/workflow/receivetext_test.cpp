#include "receivetext.h"

#include <gtest/gtest.h>

#include <string>

namespace talveno {
namespace {

struct CountCase {
    const char* name;
    std::string text;
    std::size_t lines;
};

// Cases print as their names in test listings.
void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

std::string bytes(std::initializer_list<char> c) { return std::string(c); }

const CountCase kCountCases[] = {
    {"Empty", "", 0},
    {"ThreeLetters", "abc", 1},
    {"ThreeLettersCrLf", "abc\r\n", 1},
    {"LetterAfterCrLf", "abc\r\nd", 2},
    {"CrLfAlone", "\r\n", 1},
    {"TwoCrLf", "\r\n\r\n", 2},
    {"LoneCr", "a\rb", 1},
    {"LoneLf", "a\nb", 1},
    {"LfCr", "a\n\rb", 1},
    {"CrCrLf", "a\r\r\nb", 2},
    {"CrLfLf", "a\r\n\nb", 2},
    {"TrailingCr", "abc\r", 1},
    {"TrailingLf", "abc\n", 1},
    {"NulInside", bytes({'a', '\0', 'b', '\r', '\n', '\0'}), 2},
    {"HighBytes", "\xff\xfe\r\n\x80", 2},
};

class LineCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(LineCount, WholeText) {
    ReceiveText text;
    text.append(GetParam().text);
    EXPECT_EQ(text.lineCount(), GetParam().lines);
    EXPECT_EQ(text.bytes(), GetParam().text);
}

// However the bytes are split into chunks, the count is the same as for the
// whole text: a CR LF pair split across two chunks still separates lines.
TEST_P(LineCount, EverySplitIntoTwoAndIntoSingleBytes) {
    const std::string& whole = GetParam().text;
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        ReceiveText text;
        text.append(whole.substr(0, cut));
        text.append(whole.substr(cut));
        EXPECT_EQ(text.lineCount(), GetParam().lines) << "cut at " << cut;
    }
    ReceiveText text;
    for (char c : whole) {
        text.append(std::string(1, c));
    }
    EXPECT_EQ(text.lineCount(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineCount, ::testing::ValuesIn(kCountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReceiveTextLines, LinesAreTheTextBetweenSeparators) {
    ReceiveText text;
    text.append("12\r\n\r\na\rb\n\t x \r");
    text.append("\nlast");
    ASSERT_EQ(text.lineCount(), 4u);
    EXPECT_EQ(text.line(0), "12");
    EXPECT_EQ(text.line(1), "");
    EXPECT_EQ(text.line(2), "a\rb\n\t x ");
    EXPECT_EQ(text.line(3), "last");
    EXPECT_EQ(text.line(4), "");
}

TEST(ReceiveTextLines, AnUnfinishedLastLineKeepsATrailingCrUntilItsLfComes) {
    ReceiveText text;
    text.append("a\r\nb\r");
    EXPECT_EQ(text.line(1), "b\r");
    text.append("\n");
    EXPECT_EQ(text.line(1), "b");
    EXPECT_EQ(text.lineCount(), 2u);
}

TEST(ReceiveTextLines, OnlyTheIndexedLinesCanBeRead) {
    ReceiveText text(2);
    text.append("a\r\nb\r\nc\r\nd");
    EXPECT_EQ(text.lineCount(), 4u);
    EXPECT_EQ(text.separatorCount(), 3u);
    EXPECT_EQ(text.line(1), "b");
    EXPECT_EQ(text.line(2), "");
}

}  // namespace
}  // namespace talveno
