// What the simulated bar sends in answer to 0x38: the readings, their
// faults and the writes they are cut into.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "barsim.h"
#include "receivetext.h"

namespace talveno::sim {
namespace {

// The stream's lines, split at CR LF pairs only, without them.
std::vector<std::string> linesOf(const std::string& stream) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = stream.find("\r\n"); at != std::string::npos;
         at = stream.find("\r\n", start)) {
        lines.push_back(stream.substr(start, at - start));
        start = at + 2;
    }
    if (start < stream.size()) {
        lines.push_back(stream.substr(start));
    }
    return lines;
}

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string joined(const std::vector<std::string>& writes) {
    std::string all;
    for (const std::string& write : writes) {
        all += write;
    }
    return all;
}

TEST(ReadingStream, DefaultIsAThousandPlausibleReadingsEachEndingInCrLf) {
    const std::string stream = readingStream({});
    ASSERT_TRUE(stream.ends_with("\r\n"));
    const std::vector<std::string> lines = linesOf(stream);
    ASSERT_EQ(lines.size(), 1000u);
    int brightest = 0;
    int nights = 0;
    for (const std::string& line : lines) {
        ASSERT_TRUE(allDigits(line)) << line;
        ASSERT_TRUE(line == "0" || line[0] != '0') << "leading zero in " << line;
        const int value = std::stoi(line);
        ASSERT_LE(value, 2500);
        brightest = std::max(brightest, value);
        nights += value == 0;
    }
    EXPECT_GT(brightest, 1000) << "no sunny hours";
    EXPECT_GT(nights, 100) << "no nights";
    EXPECT_NE(lines[0], "0") << "the download should begin in daylight";

    ReceiveText text;
    text.append(stream);
    EXPECT_EQ(text.lineCount(), 1000u);
}

TEST(ReadingStream, IsTheSameEveryTimeAndReadingsDoNotDependOnTheCount) {
    EXPECT_EQ(readingStream({}), readingStream({}));
    BarOptions longer;
    longer.lines = 1200;
    BarOptions split;
    split.extraLines = 200;
    const std::string thousand = readingStream({});
    EXPECT_TRUE(readingStream(longer).starts_with(thousand));
    EXPECT_EQ(readingStream(split), readingStream(longer));
    EXPECT_EQ(linesOf(readingStream(longer)).size(), 1200u);
}

TEST(ReadingStream, NoLinesIsNoBytes) {
    BarOptions none;
    none.lines = 0;
    EXPECT_EQ(readingStream(none), "");
}

TEST(ReadingStream, AGivenStreamIsSentExactlyAndFaultsLeaveItAlone) {
    BarOptions given;
    given.stream = std::string("uno\r\ndos\0\xff\r", 12);
    given.nulBytes = given.highBytes = given.loneCrLf = given.emptyReadings = true;
    given.lines = 7;
    EXPECT_EQ(readingStream(given), *given.stream);
}

struct FaultCase {
    const char* name;
    std::function<void(BarOptions&)> set;
    std::set<std::size_t> faultyLines;  // from 1
    std::function<bool(const std::string& line)> holds;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadingFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(ReadingFaults, ChangeExactlyTheDocumentedLinesAndKeepTheLineCount) {
    const FaultCase& fault = GetParam();
    BarOptions options;
    fault.set(options);
    const std::vector<std::string> plain = linesOf(readingStream({}));
    const std::string stream = readingStream(options);
    const std::vector<std::string> lines = linesOf(stream);
    ASSERT_EQ(lines.size(), plain.size());
    for (std::size_t k = 1; k <= lines.size(); ++k) {
        if (fault.faultyLines.contains(k)) {
            EXPECT_TRUE(fault.holds(lines[k - 1])) << "line " << k;
            EXPECT_NE(lines[k - 1], plain[k - 1]) << "line " << k;
        } else {
            EXPECT_EQ(lines[k - 1], plain[k - 1]) << "line " << k;
        }
    }
    ReceiveText text;
    text.append(stream);
    EXPECT_EQ(text.lineCount(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadingFaults,
    testing::Values(FaultCase{"NulBytes",
                              [](BarOptions& o) { o.nulBytes = true; },
                              {2, 500, 1000},
                              [](const std::string& line) {
                                  return line.size() >= 2 && line[1] == '\0' &&
                                         std::count(line.begin(), line.end(), '\0') == 1;
                              }},
                    FaultCase{
                        "HighBytes",
                        [](BarOptions& o) { o.highBytes = true; },
                        {3, 501, 999},
                        [](const std::string& line) { return line.find("\xB5\xE9\xFF\x80") == 1; }},
                    FaultCase{"LoneCrLf",
                              [](BarOptions& o) { o.loneCrLf = true; },
                              {4, 502, 998},
                              [](const std::string& line) {
                                  return line.find('\r') != std::string::npos &&
                                         line.find('\n') != std::string::npos &&
                                         line.find("\r\n") == std::string::npos;
                              }},
                    FaultCase{"EmptyReadings",
                              [](BarOptions& o) { o.emptyReadings = true; },
                              {5, 503, 997},
                              [](const std::string& line) { return line.empty(); }}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

struct ChunkCase {
    const char* name;
    std::size_t chunkSize;
    int lines;
};

void PrintTo(const ChunkCase& c, std::ostream* os) {
    *os << c.name;
}

class AnswerWrites : public testing::TestWithParam<ChunkCase> {};

TEST_P(AnswerWrites, CutTheStreamIntoChunksOfTheGivenSize) {
    BarOptions options;
    options.chunkSize = GetParam().chunkSize;
    options.lines = GetParam().lines;
    const std::vector<std::string> writes = answerWrites(options);
    const std::string stream = readingStream(options);
    EXPECT_EQ(joined(writes), stream);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i + 1 < writes.size()) {
            EXPECT_EQ(writes[i].size(), options.chunkSize) << "write " << i;
        } else {
            EXPECT_GE(writes[i].size(), 1u);
            EXPECT_LE(writes[i].size(), options.chunkSize);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Chunks, AnswerWrites,
                         testing::Values(ChunkCase{"OneByte", 1, 1000},
                                         ChunkCase{"Default", 16, 1000}, ChunkCase{"Odd", 7, 13},
                                         ChunkCase{"LargerThanTheStream", 1 << 20, 1000},
                                         ChunkCase{"NoLines", 16, 0}),
                         [](const testing::TestParamInfo<ChunkCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(AnswerWrites, ChunkSizeZeroIsRefused) {
    BarOptions options;
    options.chunkSize = 0;
    EXPECT_THROW(answerWrites(options), std::invalid_argument);
}

struct JumpCase {
    const char* name;
    std::function<void(BarOptions&)> set;
    std::size_t linesSent;
};

void PrintTo(const JumpCase& c, std::ostream* os) {
    *os << c.name;
}

class JumpPast1000 : public testing::TestWithParam<JumpCase> {};

// Counting as the program does after each write: the count is never exactly
// 1000, and one write takes it from 999 to 1001.
TEST_P(JumpPast1000, OneWriteCarriesTheLineCountFrom999To1001) {
    BarOptions options;
    options.jumpPast1000 = true;
    GetParam().set(options);
    const std::vector<std::string> writes = answerWrites(options);
    EXPECT_EQ(joined(writes), readingStream(options));

    ReceiveText text;
    int jumps = 0;
    for (const std::string& write : writes) {
        const std::size_t before = text.lineCount();
        text.append(write);
        EXPECT_NE(text.lineCount(), 1000u) << "after a write of " << write.size() << " bytes";
        jumps += before == 999 && text.lineCount() == 1001;
    }
    EXPECT_EQ(jumps, 1);
    EXPECT_EQ(text.lineCount(), GetParam().linesSent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JumpPast1000,
    testing::Values(JumpCase{"Defaults", [](BarOptions&) {}, 1001},
                    JumpCase{"FewStoredLines", [](BarOptions& o) { o.lines = 10; }, 1001},
                    JumpCase{"ManyExtraLines", [](BarOptions& o) { o.extraLines = 50; }, 1050},
                    JumpCase{"OneByteChunks", [](BarOptions& o) { o.chunkSize = 1; }, 1001},
                    JumpCase{"HugeChunks", [](BarOptions& o) { o.chunkSize = 100000; }, 1001},
                    JumpCase{"EmptyLinesAround",
                             [](BarOptions& o) {
                                 std::string stream;
                                 for (int k = 1; k <= 1002; ++k) {
                                     stream += k >= 999 ? "\r\n" : "7\r\n";
                                 }
                                 o.stream = stream;
                             },
                             1002}),
    [](const testing::TestParamInfo<JumpCase>& info) { return std::string(info.param.name); });

TEST(JumpPast1000, AGivenStreamTooShortToJumpIsCutAsUsual) {
    BarOptions options;
    options.jumpPast1000 = true;
    options.stream = "1\r\n2\r\n";
    options.chunkSize = 4;
    EXPECT_EQ(answerWrites(options), (std::vector<std::string>{"1\r\n2", "\r\n"}));
}

}  // namespace
}  // namespace talveno::sim
