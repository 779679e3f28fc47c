// The talveno-barsim command, run as a user or a script would run it: no
// standard input, no terminal, stopped by a signal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "barsim.h"
#include "slaveend.h"

extern char** environ;

namespace talveno::sim {
namespace {

using test::patience;
using test::SlaveEnd;

// talveno-barsim started with stdin on /dev/null and its stdout and stderr
// on pipes; killed if still running when the object goes.
class Tool {
  public:
    explicit Tool(const std::vector<std::string>& arguments) {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> all{TALVENO_BARSIM_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int failed =
            posix_spawn(&pid_, TALVENO_BARSIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (failed != 0) {
            throw std::runtime_error("posix_spawn");
        }
    }
    ~Tool() {
        if (!exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }

    // The first line of standard output, without its LF; "" when none came in time.
    std::string firstLine() {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + patience;
        while (out.find('\n') == std::string::npos && Clock::now() < deadline &&
               readSome(out_, out, 50) != Pipe::Ended) {
        }
        const std::size_t end = out.find('\n');
        if (end == std::string::npos) {
            return "";
        }
        std::string line = out.substr(0, end);
        out.erase(0, end + 1);
        return line;
    }

    void signal(int number) { kill(pid_, number); }

    // Exit code once the command has ended, -1 when it did not end in time
    // or ended by a signal. Collects the rest of both outputs meanwhile.
    int exitCode() {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + patience;
        int status = 0;
        while (Clock::now() < deadline) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                while (readSome(out_, out) == Pipe::Read || readSome(err_, err) == Pipe::Read) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (readSome(out_, out, 20) == Pipe::Ended && readSome(err_, err) == Pipe::Ended) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return -1;
    }

    std::string out;
    std::string err;

  private:
    enum class Pipe { Read, Empty, Ended };
    // Appends what the pipe holds, waiting up to waitMs for something.
    static Pipe readSome(int fd, std::string& into, int waitMs = 0) {
        pollfd in{fd, POLLIN, 0};
        if (poll(&in, 1, waitMs) != 1) {
            return Pipe::Empty;
        }
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return Pipe::Ended;
        }
        into.append(buffer, static_cast<std::size_t>(n));
        return Pipe::Read;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool exited_ = false;
};

TEST(BarsimTool, HelpExitsZeroAndNamesTheOptions) {
    Tool tool({"--help"});
    ASSERT_EQ(tool.exitCode(), 0);
    for (const char* option :
         {"--lines", "--extra-lines", "--baud", "--unpaced", "--chunk-size", "--nul",
          "--high-bytes", "--lone-cr-lf", "--empty-readings", "--jump-past-1000", "--hang-up-after",
          "--never-answer", "--link", "--stream-file"}) {
        EXPECT_NE(tool.out.find(option), std::string::npos) << option;
    }
}

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class BadUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(BadUsage, ExitsTwoWithAMessageAndOpensNothing) {
    Tool tool(GetParam().arguments);
    EXPECT_EQ(tool.exitCode(), 2);
    EXPECT_EQ(tool.out, "");
    EXPECT_NE(tool.err.find("--help"), std::string::npos) << tool.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, BadUsage,
                         testing::Values(UsageCase{"UnknownOption", {"--bogus"}},
                                         UsageCase{"MissingValue", {"--lines"}},
                                         UsageCase{"NotANumber", {"--lines", "mil"}},
                                         UsageCase{"TrailingGarbage", {"--lines=10x"}},
                                         UsageCase{"NegativeLines", {"--lines", "-1"}},
                                         UsageCase{"ZeroBaud", {"--baud", "0"}},
                                         UsageCase{"ZeroChunk", {"--chunk-size", "0"}},
                                         UsageCase{"NegativeHangUp", {"--hang-up-after", "-1"}},
                                         UsageCase{"StrayArgument", {"/dev/ttyS0"}}),
                         [](const testing::TestParamInfo<UsageCase>& info) {
                             return std::string(info.param.name);
                         });

class BarsimRun : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "barsim-tool-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(BarsimRun, PrintsAWorkingDeviceServesAndEndsCleanlyOnSigterm) {
    const std::filesystem::path link = folder_ / "barra";
    Tool tool({"--unpaced", "--lines", "12", "--link", link.string()});
    const std::string device = tool.firstLine();
    ASSERT_TRUE(device.starts_with("/dev/")) << device;
    EXPECT_EQ(std::filesystem::read_symlink(link), device);

    BarOptions options;
    options.lines = 12;
    const std::string expected = readingStream(options);
    {
        SlaveEnd program(device);
        ASSERT_EQ(program.write("8"), 0);
        EXPECT_EQ(program.readUntil(expected.size()).bytes, expected);
    }
    tool.signal(SIGTERM);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_NE(tool.err.find("recibido 0x38"), std::string::npos) << tool.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(BarsimRun, SendsAStreamFileExactlyAndEndsOnSigint) {
    const std::filesystem::path file = folder_ / "lecturas.bin";
    const std::string bytes("1\r\n\0\xff\r\n2", 8);
    std::ofstream(file, std::ios::binary) << bytes;
    Tool tool({"--unpaced", "--quiet", "--stream-file", file.string()});
    const std::string device = tool.firstLine();
    {
        SlaveEnd program(device);
        ASSERT_EQ(program.write("8"), 0);
        EXPECT_EQ(program.readUntil(bytes.size()).bytes, bytes);
    }
    tool.signal(SIGINT);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(tool.err, "");
}

TEST_F(BarsimRun, AMissingStreamFileExitsOne) {
    Tool tool({"--stream-file", (folder_ / "no-existe").string()});
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_EQ(tool.out, "");
    EXPECT_NE(tool.err.find("no-existe"), std::string::npos);
}

}  // namespace
}  // namespace talveno::sim
