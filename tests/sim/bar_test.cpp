// The simulated bar on a real pseudo-terminal, seen from the program's side
// of the line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "barsim.h"
#include "slaveend.h"

namespace talveno::sim {
namespace {

using test::patience;
using test::SlaveEnd;
using namespace std::string_literals;

BarOptions unpaced(const std::function<void(BarOptions&)>& set = {}) {
    BarOptions options;
    options.baud = 0;
    if (set) {
        set(options);
    }
    return options;
}

struct AnswerCase {
    const char* name;
    BarOptions options;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.name;
}

class Answer : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answer, ArrivesByteForByteAfterOneRequest) {
    const BarOptions& options = GetParam().options;
    const std::string expected = readingStream(options);
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"), 0);

    const SlaveEnd::Read got = program.readUntil(expected.size());
    EXPECT_FALSE(got.timedOut);
    EXPECT_EQ(got.bytes, expected);
    ASSERT_TRUE(bar.waitUntilSent(1, patience));
    EXPECT_EQ(bar.sentCount(), expected.size());
    EXPECT_EQ(program.waiting(), 0u);
    EXPECT_EQ(bar.received(), "8");
}

INSTANTIATE_TEST_SUITE_P(
    Options, Answer,
    testing::Values(
        AnswerCase{"Unpaced", unpaced()},
        AnswerCase{"PacedAt9600",
                   [] {
                       BarOptions options;
                       options.lines = 30;
                       return options;
                   }()},
        AnswerCase{"OneByteWrites", unpaced([](BarOptions& o) { o.chunkSize = 1; })},
        AnswerCase{"OneHugeWrite", unpaced([](BarOptions& o) { o.chunkSize = 1 << 20; })},
        AnswerCase{"EveryReadingFault", unpaced([](BarOptions& o) {
                       o.nulBytes = o.highBytes = o.loneCrLf = o.emptyReadings = true;
                   })},
        AnswerCase{"JumpPast1000", unpaced([](BarOptions& o) { o.jumpPast1000 = true; })},
        AnswerCase{"ExtraLines", unpaced([](BarOptions& o) { o.extraLines = 20; })},
        AnswerCase{"GivenStream",
                   unpaced([](BarOptions& o) { o.stream = "12\0\xff\r\n\r\r\n\n"s; })}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST(SimulatedBar, AProgramThatLeavesTheLineAloneStillGetsRawBytes) {
    // In a cooked line CR would turn into LF and the bar's bytes would be
    // echoed back to it.
    const BarOptions options = unpaced([](BarOptions& o) {
        o.loneCrLf = o.highBytes = o.nulBytes = true;
        o.lines = 600;
    });
    const std::string expected = readingStream(options);
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath(), SlaveEnd::Line::AsOpened);
    ASSERT_EQ(program.write("8"), 0);
    EXPECT_EQ(program.readUntil(expected.size()).bytes, expected);
    ASSERT_TRUE(bar.waitUntilSent(1, patience));
    EXPECT_EQ(bar.received(), "8");
}

TEST(SimulatedBar, LineStartsRaw9600EightNoneOneWithoutFlowControl) {
    SimulatedBar bar(unpaced());
    const struct termios line = bar.lineSettings();
    EXPECT_EQ(cfgetospeed(&line), B9600);
    EXPECT_EQ(cfgetispeed(&line), B9600);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
}

TEST(SimulatedBar, LineSettingsReportWhatTheProgramSet) {
    SimulatedBar bar(unpaced());
    SlaveEnd program(bar.devicePath());
    struct termios wanted {};
    ASSERT_EQ(tcgetattr(program.fd(), &wanted), 0);
    cfsetspeed(&wanted, B19200);
    wanted.c_cflag = (wanted.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    wanted.c_iflag |= IXON | IXOFF;
    ASSERT_EQ(tcsetattr(program.fd(), TCSANOW, &wanted), 0);

    const struct termios line = bar.lineSettings();
    EXPECT_EQ(cfgetospeed(&line), B19200);
    EXPECT_EQ(line.c_cflag & (CSTOPB | CRTSCTS), static_cast<tcflag_t>(CSTOPB | CRTSCTS));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & PARENB, 0u);
}

struct CommandCase {
    const char* name;
    std::string commands;  // written in one go
    int answers;           // whole readings streams expected back
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

class Commands : public testing::TestWithParam<CommandCase> {};

TEST_P(Commands, AreLoggedAndAnsweredInOrder) {
    const CommandCase& c = GetParam();
    const BarOptions options = unpaced([](BarOptions& o) { o.lines = 50; });
    std::string expected;
    for (int i = 0; i < c.answers; ++i) {
        expected += readingStream(options);
    }
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write(c.commands), 0);

    ASSERT_TRUE(bar.waitUntilSent(c.commands.size(), patience));
    EXPECT_EQ(bar.received(), c.commands);
    EXPECT_EQ(bar.sentCount(), expected.size());
    EXPECT_EQ(program.readUntil(expected.size()).bytes, expected);
    EXPECT_EQ(program.waiting(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Commands,
                         testing::Values(CommandCase{"Request", "8", 1},
                                         CommandCase{"EraseThenRequestGetsNothing", "38", 0},
                                         CommandCase{"RequestEraseRequestGetsOneAnswer", "838", 1},
                                         CommandCase{"TwoRequestsGetTwoAnswers", "88", 2},
                                         CommandCase{"OtherBytesAreIgnored", "A\0\xff\r\n"s, 0},
                                         CommandCase{"OtherBytesAroundARequest",
                                                     "\x00"
                                                     "8\x80"
                                                     "9"s,
                                                     1}),
                         [](const testing::TestParamInfo<CommandCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SimulatedBar, EraseWhileAnsweringFinishesTheAnswerThenTheMemoryIsEmpty) {
    const BarOptions options = unpaced();
    const std::string stream = readingStream(options);
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"), 0);
    ASSERT_EQ(program.readUntil(10).bytes.size(), 10u);
    ASSERT_EQ(program.write("3"), 0);
    ASSERT_EQ(program.write("8"), 0);
    ASSERT_TRUE(bar.waitUntilSent(3, patience));
    EXPECT_EQ(bar.sentCount(), stream.size());
    EXPECT_EQ(program.readUntil(stream.size() - 10).bytes, stream.substr(10));
    EXPECT_EQ(program.waiting(), 0u);
}

TEST(SimulatedBar, NeverAnswerLogsCommandsAndSendsNothing) {
    SimulatedBar bar(unpaced([](BarOptions& o) { o.neverAnswer = true; }));
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("838"), 0);
    ASSERT_TRUE(bar.waitUntilSent(3, patience));
    EXPECT_EQ(bar.received(), "838");
    EXPECT_EQ(bar.sentCount(), 0u);
    EXPECT_EQ(program.waiting(), 0u);
}

TEST(SimulatedBar, TheProgramMayCloseAndReopenTheDevice) {
    const BarOptions options = unpaced([](BarOptions& o) { o.lines = 40; });
    const std::string stream = readingStream(options);
    SimulatedBar bar(options);
    bar.start();
    for (int session = 1; session <= 3; ++session) {
        SlaveEnd program(bar.devicePath());
        ASSERT_EQ(program.write("8"), 0);
        EXPECT_EQ(program.readUntil(stream.size()).bytes, stream) << "session " << session;
        ASSERT_TRUE(bar.waitUntilSent(static_cast<std::size_t>(session), patience));
    }
    EXPECT_EQ(bar.received(), "888");
    EXPECT_FALSE(bar.hungUp());
}

TEST(SimulatedBar, StopPausesServingAndStartResumes) {
    const BarOptions options = unpaced([](BarOptions& o) { o.lines = 5; });
    SimulatedBar bar(options);
    bar.start();
    EXPECT_THROW(bar.start(), std::logic_error);
    bar.stop();
    bar.stop();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"), 0);
    EXPECT_EQ(bar.received(), "");
    bar.start();
    EXPECT_EQ(program.readUntil(readingStream(options).size()).bytes, readingStream(options));
    EXPECT_EQ(bar.received(), "8");
}

// A read racing with the hang-up may fail with EIO instead of giving end of file.
bool endedByUnplug(const SlaveEnd::Read& read) {
    return read.endOfFile || read.error == EIO;
}

// What a program holding the device sees once the bar is unplugged.
void expectUnplugged(SimulatedBar& bar, SlaveEnd& program) {
    EXPECT_TRUE(bar.waitUntilHungUp(patience));
    EXPECT_TRUE(bar.hungUp());
    pollfd in{program.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&in, 1, 0), 1);
    EXPECT_TRUE(in.revents & POLLHUP);
    EXPECT_TRUE(in.revents & POLLERR);
    char byte = 0;
    EXPECT_EQ(read(program.fd(), &byte, 1), 0) << "a read gives end of file";
    EXPECT_EQ(program.write("8"), EIO);
    struct termios line {};
    EXPECT_EQ(tcgetattr(program.fd(), &line), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_THROW(bar.lineSettings(), std::runtime_error);
    bar.stop();
    EXPECT_THROW(bar.start(), std::logic_error) << "an unplugged bar cannot serve again";
    EXPECT_THROW(SlaveEnd again(bar.devicePath()), std::system_error) << "the device is gone";
}

struct HangUpCase {
    const char* name;
    BarOptions options;
};

void PrintTo(const HangUpCase& c, std::ostream* os) {
    *os << c.name;
}

class HangUpAfter : public testing::TestWithParam<HangUpCase> {};

TEST_P(HangUpAfter, TheProgramReadsExactlyThatManyBytesThenTheEnd) {
    const BarOptions& options = GetParam().options;
    const std::string stream = readingStream(options);
    const auto limit = static_cast<std::size_t>(options.hangUpAfter);
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"), 0);

    const SlaveEnd::Read got = program.readToEnd();
    EXPECT_TRUE(endedByUnplug(got)) << got.error;
    EXPECT_EQ(got.bytes, stream.substr(0, limit));
    EXPECT_EQ(bar.sentCount(), std::min(limit, stream.size()));
    EXPECT_EQ(bar.waitUntilSent(1, patience), limit >= stream.size());
    expectUnplugged(bar, program);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HangUpAfter,
    testing::Values(HangUpCase{"AfterOneByte", unpaced([](BarOptions& o) { o.hangUpAfter = 1; })},
                    HangUpCase{"InsideAWrite",
                               unpaced([](BarOptions& o) { o.hangUpAfter = 1003; })},
                    HangUpCase{"PacedMidStream",
                               [] {
                                   BarOptions o;
                                   o.lines = 30;
                                   o.hangUpAfter = 50;
                                   return o;
                               }()},
                    HangUpCase{"RightAfterTheWholeAnswer", unpaced([](BarOptions& o) {
                                   o.lines = 40;
                                   o.hangUpAfter = static_cast<long>(readingStream(o).size());
                               })}),
    [](const testing::TestParamInfo<HangUpCase>& info) { return std::string(info.param.name); });

TEST(SimulatedBar, HangUpAfterZeroUnplugsAtStart) {
    SimulatedBar bar(unpaced([](BarOptions& o) { o.hangUpAfter = 0; }));
    SlaveEnd program(bar.devicePath());
    bar.start();
    const SlaveEnd::Read got = program.readToEnd();
    EXPECT_TRUE(endedByUnplug(got)) << got.error;
    EXPECT_EQ(got.bytes, "");
    expectUnplugged(bar, program);
}

TEST(SimulatedBar, HangUpInTheMiddleOfAnAnswerLosesWhatWasNotRead) {
    BarOptions options;  // paced at 9600: the answer takes seconds
    SimulatedBar bar(options);
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"), 0);
    ASSERT_EQ(program.readUntil(20).bytes, readingStream(options).substr(0, 20));

    bar.hangUp();
    EXPECT_FALSE(bar.waitUntilSent(1, patience)) << "the answer never went out whole";
    EXPECT_LT(bar.sentCount(), readingStream(options).size());
    const SlaveEnd::Read rest = program.readToEnd();
    EXPECT_TRUE(endedByUnplug(rest)) << rest.error;
    EXPECT_EQ(rest.bytes, "");
    expectUnplugged(bar, program);
    bar.hangUp();
    bar.stop();
}

class LinkTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "barsim-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(LinkTest, LeadsToTheDeviceWhileTheBarLivesAndGoesWithIt) {
    const std::filesystem::path link = folder_ / "barra";
    const BarOptions options = unpaced([](BarOptions& o) { o.lines = 3; });
    {
        SimulatedBar bar(options);
        bar.linkTo(link.string());
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link), bar.devicePath());
        bar.start();
        SlaveEnd program(link.string());
        ASSERT_EQ(program.write("8"), 0);
        EXPECT_EQ(program.readUntil(readingStream(options).size()).bytes, readingStream(options));
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(LinkTest, AFileInTheWayIsLeftAloneAndReported) {
    const std::filesystem::path path = folder_ / "ocupado";
    std::ofstream(path) << "datos";
    {
        SimulatedBar bar(unpaced());
        EXPECT_THROW(bar.linkTo(path.string()), std::runtime_error);
    }
    std::ifstream file(path);
    std::string text;
    file >> text;
    EXPECT_EQ(text, "datos");
}

TEST_F(LinkTest, ASecondLinkReplacesTheFirst) {
    SimulatedBar bar(unpaced());
    bar.linkTo((folder_ / "a").string());
    bar.linkTo((folder_ / "b").string());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder_ / "a")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "b"));
}

struct BadOptionsCase {
    const char* name;
    std::function<void(BarOptions&)> set;
};

void PrintTo(const BadOptionsCase& c, std::ostream* os) {
    *os << c.name;
}

class BadOptions : public testing::TestWithParam<BadOptionsCase> {};

TEST_P(BadOptions, AreRefusedBeforeAnyTerminalIsOpened) {
    BarOptions options;
    GetParam().set(options);
    EXPECT_THROW(SimulatedBar{options}, std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadOptions,
    testing::Values(BadOptionsCase{"NegativeLines", [](BarOptions& o) { o.lines = -1; }},
                    BadOptionsCase{"NegativeExtraLines", [](BarOptions& o) { o.extraLines = -2; }},
                    BadOptionsCase{"NegativeBaud", [](BarOptions& o) { o.baud = -9600; }},
                    BadOptionsCase{"ZeroChunk", [](BarOptions& o) { o.chunkSize = 0; }},
                    BadOptionsCase{"HangUpBelowMinusOne",
                                   [](BarOptions& o) { o.hangUpAfter = -5; }}),
    [](const testing::TestParamInfo<BadOptionsCase>& info) {
        return std::string(info.param.name);
    });

TEST(SimulatedBar, LogsEachCommandAndTheAnswers) {
    std::mutex mutex;
    std::vector<std::string> log;
    const BarOptions options = unpaced([](BarOptions& o) { o.lines = 2; });
    SimulatedBar bar(options);
    bar.setLogger([&](const std::string& line) {
        std::lock_guard lock(mutex);
        log.push_back(line);
    });
    bar.start();
    SlaveEnd program(bar.devicePath());
    ASSERT_EQ(program.write("8"
                            "3"
                            "8"
                            "X"),
              0);
    ASSERT_TRUE(bar.waitUntilSent(4, patience));
    bar.stop();  // the log is complete once serving has stopped

    std::lock_guard lock(mutex);
    std::vector<std::string> commands;
    int answers = 0;
    for (const std::string& line : log) {
        if (line.starts_with("recibido ")) {
            commands.push_back(line.substr(0, line.find(':')));
        }
        answers += line.starts_with("respuesta enviada");
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"recibido 0x38", "recibido 0x33", "recibido 0x38",
                                                  "recibido 0x58"}));
    EXPECT_EQ(answers, 1);
}

}  // namespace
}  // namespace talveno::sim
