// talveno-download as users run it: the real executable, a child process,
// talking to the bar simulator on a pseudo-terminal.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "barsim.h"
#include "childprocess.h"
#include "readinglist.h"
#include "receivetext.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using talveno::sim::BarOptions;
using talveno::sim::SimulatedBar;
using talveno::testing::ChildResult;
using talveno::testing::runChild;
using talveno::testing::StandardError;

const std::string kDownloader = TALVENO_DOWNLOAD_EXE;
// No run comes near this; it only keeps a hang from blocking the suite.
constexpr auto kRunLimit = 90s;
// How long to watch for a byte that must never come.
constexpr auto kNeverWait = 1s;

// What the program's "GUARDAR" writes for an unedited list built from stream.
std::string programSave(const std::string& stream) {
    talveno::ReceiveText received;
    received.append(stream);
    return talveno::readingFileBytes(talveno::buildReadingList(received));
}

std::optional<std::string> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

BarOptions unpaced(BarOptions options = {}) {
    options.baud = 0;
    return options;
}

BarOptions withStream(std::string stream) {
    BarOptions options = unpaced();
    options.stream = std::move(stream);
    return options;
}

std::string streamWithout(std::size_t trailingBytes) {
    std::string stream = talveno::sim::readingStream({});
    stream.resize(stream.size() - trailingBytes);
    return stream;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "talveno-download-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    static ChildResult run(const std::vector<std::string>& arguments,
                           StandardError standardError = StandardError::Pipe) {
        ChildResult result = runChild(kDownloader, arguments, kRunLimit, standardError);
        EXPECT_FALSE(result.timedOut) << "talveno-download did not end; stderr:\n" << result.err;
        return result;
    }

    fs::path dir_;
};

// ---------------------------------------------------------------------------
// A whole download writes what the program's save writes.

struct WholeCase {
    const char* name;
    BarOptions bar;
    bool lastLineUnended = false;  // the 1000th line never gets its CR LF
};

void PrintTo(const WholeCase& c, std::ostream* os) {
    *os << c.name;
}

class WholeDownload : public Download, public ::testing::WithParamInterface<WholeCase> {};

TEST_P(WholeDownload, WritesTheProgramsFileAndNothingButTheRequest) {
    const WholeCase& c = GetParam();
    SimulatedBar bar(c.bar);
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result =
        run({"--port", bar.devicePath(), "-o", output.string(), "--timeout", "10"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::optional<std::string> written = fileBytes(output);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, programSave(talveno::sim::readingStream(c.bar)));
    EXPECT_EQ(bar.received(), "8");
    const std::string saved = "1000 lecturas recibidas; guardado en " + output.string() + "\n";
    EXPECT_EQ(result.err,
              c.lastLineUnended
                  ? "aviso: la lectura 1000 no terminó en CR LF; se guardó tal como llegó\n" + saved
                  : saved);
    EXPECT_EQ(result.out, "");
}

BarOptions faults() {
    BarOptions options = unpaced();
    options.nulBytes = options.highBytes = options.loneCrLf = options.emptyReadings = true;
    return options;
}

BarOptions oneByteChunks() {
    BarOptions options = unpaced();
    options.chunkSize = 1;
    return options;
}

BarOptions jumpPast1000() {
    BarOptions options = unpaced();
    options.jumpPast1000 = true;
    return options;
}

BarOptions extraLines() {
    BarOptions options = unpaced();
    options.extraLines = 25;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Bars, WholeDownload,
    ::testing::Values(WholeCase{"PacedAt9600", BarOptions{}}, WholeCase{"Unpaced", unpaced()},
                      WholeCase{"OneByteChunks", oneByteChunks()},
                      WholeCase{"NulHighLoneCrLfAndEmptyReadings", faults()},
                      WholeCase{"OneChunkFrom999To1001Lines", jumpPast1000()},
                      WholeCase{"MoreLinesAfterThe1000th", extraLines()},
                      WholeCase{"LastLineWithoutCrLf", withStream(streamWithout(2)), true},
                      WholeCase{"LastLineEndsInLoneCr", withStream(streamWithout(1)), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, NameWithoutExtensionGetsTxtAndAnotherExtensionStays) {
    SimulatedBar bar(unpaced());
    bar.start();
    const std::string expected = programSave(talveno::sim::readingStream(unpaced()));

    for (const auto& [given, written] :
         {std::pair{"datos", "datos.txt"}, std::pair{"datos.csv", "datos.csv"}}) {
        SCOPED_TRACE(given);
        const ChildResult result =
            run({"--port", bar.devicePath(), "-o", (dir_ / given).string(), "--quiet"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(fileBytes(dir_ / written), expected);
    }
    EXPECT_FALSE(fs::exists(dir_ / "datos"));
}

TEST_F(Download, ReplacesAnExistingFile) {
    SimulatedBar bar(unpaced());
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";
    std::ofstream(output) << "una descarga anterior\r\n";

    const ChildResult result = run({"--port", bar.devicePath(), "-o", output.string()});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(fileBytes(output), programSave(talveno::sim::readingStream(unpaced())));
}

// ---------------------------------------------------------------------------
// The erase command.

TEST_F(Download, EraseGoesOutAfterTheFileIsWritten) {
    SimulatedBar bar(unpaced());
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result = run({"--port", bar.devicePath(), "-o", output.string(), "--erase"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_TRUE(bar.waitForReceived(2, 10s));
    EXPECT_EQ(bar.received(), "83");
    EXPECT_EQ(fileBytes(output), programSave(talveno::sim::readingStream(unpaced())));
    EXPECT_NE(result.err.find("orden de borrado enviada a la barra"), std::string::npos);
}

struct UnwritableCase {
    const char* name;
    const char* output;   // inside the test's folder
    const char* prepare;  // a folder made there first, if any
};

void PrintTo(const UnwritableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnwritableOutput : public Download, public ::testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritableOutput, FailsWithTheFileErrorAndNeverErases) {
    const UnwritableCase& c = GetParam();
    if (*c.prepare != '\0') {
        fs::create_directories(dir_ / c.prepare);
    }
    SimulatedBar bar(unpaced());
    bar.start();
    const std::string output = (dir_ / c.output).string();

    const ChildResult result = run({"--port", bar.devicePath(), "-o", output, "--erase"});

    EXPECT_EQ(result.exitCode, 5);
    EXPECT_NE(result.err.find("talveno-download: Cannot create file " + output + "\n"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(bar.waitForReceived(2, kNeverWait));
    EXPECT_EQ(bar.received(), "8");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, UnwritableOutput,
    ::testing::Values(UnwritableCase{"MissingFolder", "no/existe/lecturas.txt", ""},
                      UnwritableCase{"TargetIsAFolder", "lecturas.txt", "lecturas.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The bar falls silent, or vanishes, before its 1000th line.

struct ShortCase {
    const char* name;
    BarOptions bar;
    bool keepPartial;
    const char* arrived;                 // the line that tells how many came
    std::optional<std::string> partial;  // the --partial file's bytes, when one is written
};

void PrintTo(const ShortCase& c, std::ostream* os) {
    *os << c.name;
}

class SilentBar : public Download, public ::testing::WithParamInterface<ShortCase> {};

BarOptions neverAnswers() {
    BarOptions options = unpaced();
    options.neverAnswer = true;
    return options;
}

TEST_P(SilentBar, GivesUpAfterTheTimeoutAndWritesOnlyWhatWasAskedFor) {
    const ShortCase& c = GetParam();
    SimulatedBar bar(c.bar);
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";
    const fs::path partial = dir_ / "parcial.txt";
    std::vector<std::string> arguments{
        "--port", bar.devicePath(), "-o", output.string(), "--timeout", "1", "--erase"};
    if (c.keepPartial) {
        arguments.insert(arguments.end(), {"--partial", (dir_ / "parcial").string()});
    }

    const ChildResult result = run(arguments);

    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("talveno-download: la barra calló durante 1 s\n"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(std::string("talveno-download: ") + c.arrived), std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(fileBytes(partial), c.partial);
    EXPECT_EQ(bar.received(), "8");
}

INSTANTIATE_TEST_SUITE_P(
    Bars, SilentBar,
    ::testing::Values(
        ShortCase{"NeverAnswers", neverAnswers(), false,
                  "llegaron 0 de 1000 lecturas; no se escribió ningún archivo", std::nullopt},
        ShortCase{"NeverAnswersWithPartial", neverAnswers(), true,
                  "llegaron 0 de 1000 lecturas; no se escribió ", std::nullopt},
        ShortCase{"ThreeLines", withStream("512\r\n498\r\n7"), false,
                  "llegaron 3 de 1000 lecturas; no se escribió ningún archivo", std::nullopt},
        ShortCase{"ThreeLinesWithPartial", withStream("512\r\n498\r\n7"), true,
                  "llegaron 3 de 1000 lecturas; guardadas en ",
                  "1  512\t\r\n2  498\t\r\n3  7\t\r\n"},
        ShortCase{"EmptyLinesKeepTheirNumbers", withStream("\r\n\r\n9\r\n"), true,
                  "llegaron 3 de 1000 lecturas; guardadas en ", "1  \t\r\n2  \t\r\n3  9\t\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, UnpluggedBarIsAPortErrorAndKeepsWhatCame) {
    BarOptions options = unpaced();
    options.hangUpAfter = 2000;
    SimulatedBar bar(options);
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";
    const fs::path partial = dir_ / "parcial.txt";

    const ChildResult result = run({"--port", bar.devicePath(), "-o", output.string(), "--erase",
                                    "--partial", partial.string()});

    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_FALSE(fs::exists(output));
    // What came: the first 2000 bytes, numbered line by line as in the list.
    talveno::ReceiveText came;
    came.append(talveno::sim::readingStream(options).substr(0, 2000));
    std::vector<std::string> lines = talveno::buildReadingList(came);
    lines.resize(came.lineCount());
    EXPECT_EQ(fileBytes(partial), talveno::readingFileBytes(lines));
    EXPECT_NE(result.err.find("guardadas en " + partial.string()), std::string::npos) << result.err;
    EXPECT_EQ(bar.received(), "8");
}

// ---------------------------------------------------------------------------
// The port.

TEST_F(Download, AbsentPortIsAPortError) {
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result =
        run({"--port", (dir_ / "ttyNADA").string(), "-o", output.string(), "--erase"});

    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err, "talveno-download: Unable to open com port (win error code: 2)\n");
    EXPECT_FALSE(fs::exists(output));
}

struct LineCase {
    const char* name;
    std::vector<std::string> options;
    speed_t speed;
    tcflag_t cflagMask;  // the bits of c_cflag compared
    tcflag_t cflag;      // their expected value
    tcflag_t iflagMask;  // the bits of c_iflag compared
    tcflag_t iflag;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineSettings : public Download, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineSettings, TheOptionsSetTheLine) {
    const LineCase& c = GetParam();
    SimulatedBar bar(neverAnswers());
    bar.start();
    std::vector<std::string> arguments{
        "--port", bar.devicePath(), "-o", (dir_ / "x.txt").string(), "--timeout", "2"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());

    auto child = std::async(std::launch::async, [&] { return run(arguments); });
    // The request goes out once the line is set up; the line stays so until
    // the downloader gives up on the silent bar.
    ASSERT_TRUE(bar.waitForReceived(1, 30s));
    const termios line = bar.lineSettings();
    const ChildResult result = child.get();

    EXPECT_EQ(result.exitCode, 4) << result.err;
    EXPECT_EQ(cfgetospeed(&line), c.speed);
    EXPECT_EQ(line.c_cflag & c.cflagMask, c.cflag);
    EXPECT_EQ(line.c_iflag & c.iflagMask, c.iflag);
}

constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

// A pseudo-terminal keeps speed, stop bits and flow control but always
// holds 8 data bits without parity, so those are left to real ports.
INSTANTIATE_TEST_SUITE_P(
    Options, LineSettings,
    ::testing::Values(
        LineCase{"DesignSettings", {}, B9600, kFrame, CS8, IXON | IXOFF, 0},
        LineCase{"TwoStopBitsAt19200",
                 {"--baud", "19200", "--stop-bits", "2"},
                 B19200,
                 kFrame,
                 CS8 | CSTOPB,
                 IXON | IXOFF,
                 0},
        LineCase{
            "HardwareFlow", {"--flow", "hardware"}, B9600, kFrame, CS8 | CRTSCTS, IXON | IXOFF, 0},
        LineCase{"SoftwareFlow",
                 {"--flow", "software"},
                 B9600,
                 kFrame,
                 CS8,
                 IXON | IXOFF,
                 IXON | IXOFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, ALineThePortCannotTakeIsAPortError) {
    SimulatedBar bar(unpaced());
    bar.start();
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result =
        run({"--port", bar.devicePath(), "--stop-bits", "1.5", "-o", output.string()});

    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err, "talveno-download: SetCommState function failed (win error code: 22)\n");
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(bar.received(), "");
}

// ---------------------------------------------------------------------------
// The command line.

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* says;  // part of the message
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class BadUsage : public Download, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(BadUsage, ExitsWithTwoAndSaysWhy) {
    const UsageCase& c = GetParam();
    std::vector<std::string> arguments = c.arguments;
    for (std::string& argument : arguments) {
        if (argument == "OUT") {
            argument = (dir_ / "x.txt").string();
        }
    }

    const ChildResult result = run(arguments);

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.rfind("talveno-download: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(fs::is_empty(dir_));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadUsage,
    ::testing::Values(
        UsageCase{
            "UnknownOption", {"--frobnicate", "-o", "OUT"}, "opción desconocida: --frobnicate"},
        UsageCase{"NoOutput", {"--port", "COM1"}, "falta -o ARCHIVO"},
        UsageCase{"OutputWithoutValue", {"-o"}, "-o necesita un valor"},
        UsageCase{"EmptyOutput", {"-o", ""}, "-o/--output necesita un nombre de archivo"},
        UsageCase{"BaudNotANumber", {"--baud", "rápido", "-o", "OUT"}, "--baud"},
        UsageCase{"BaudZero", {"--baud", "0", "-o", "OUT"}, "--baud"},
        UsageCase{"NineDataBits", {"--data-bits", "9", "-o", "OUT"}, "--data-bits"},
        UsageCase{"UnknownParity", {"--parity", "high", "-o", "OUT"}, "--parity"},
        UsageCase{"ThreeStopBits", {"--stop-bits", "3", "-o", "OUT"}, "--stop-bits"},
        UsageCase{"UnknownFlow", {"--flow", "rts", "-o", "OUT"}, "--flow"},
        UsageCase{"ZeroTimeout", {"--timeout", "0", "-o", "OUT"}, "--timeout"},
        UsageCase{"TimeoutNotANumber", {"--timeout", "nan", "-o", "OUT"}, "--timeout"},
        UsageCase{"ExtraArgument", {"-o", "OUT", "COM2"}, "argumento de más: «COM2»"},
        UsageCase{"PortWithSimulate", {"--simulate", "--port", "COM1", "-o", "OUT"}, "--port"},
        UsageCase{"SimBaudWithoutSimulate", {"--sim-baud", "1200", "-o", "OUT"}, "--simulate"},
        UsageCase{"SimBaudAndUnpaced",
                  {"--simulate", "--sim-baud", "1200", "--sim-unpaced", "-o", "OUT"},
                  "se excluyen"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Download, VersionNamesTheProgramAndItsVersion) {
    const ChildResult result = run({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "talveno-download 1.1\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(Download, HelpDocumentsEveryOptionAndExitCode) {
    const ChildResult result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("Uso: talveno-download", 0), 0u);
    for (const char* option :
         {"--port", "--baud", "--data-bits", "--parity", "--stop-bits", "--flow", "--list-ports",
          "--output", "--erase", "--timeout", "--partial", "--quiet", "--simulate", "--sim-baud",
          "--sim-unpaced", "--help", "--version"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
    for (const char* code : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  4  ", "\n  5  "}) {
        EXPECT_NE(result.out.find(code), std::string::npos) << code;
    }
}

TEST_F(Download, ListPortsEndsWell) {
    const ChildResult result = run({"--list-ports"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // One line a port, three tab-separated fields.
    std::size_t start = 0;
    while (start < result.out.size()) {
        const std::size_t end = result.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = result.out.substr(start, end - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
        start = end + 1;
    }
}

// ---------------------------------------------------------------------------
// The simulated bar inside the downloader, and the feedback.

TEST_F(Download, SimulateNeedsNoSerialPort) {
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result =
        run({"--simulate", "--sim-unpaced", "-o", output.string(), "--erase"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(fileBytes(output), programSave(talveno::sim::readingStream({})));
    EXPECT_EQ(result.err, "1000 lecturas recibidas; guardado en " + output.string() +
                              "\norden de borrado enviada a la barra\n");
}

TEST_F(Download, ATerminalGetsAProgressBar) {
    const fs::path output = dir_ / "lecturas.txt";

    const ChildResult result =
        run({"--simulate", "--sim-unpaced", "-o", output.string()}, StandardError::Terminal);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("[##############################] 1000/1000 lecturas"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("1000 lecturas recibidas; guardado en " + output.string()),
              std::string::npos);
}

TEST_F(Download, QuietTerminalGetsNothingButErrors) {
    const ChildResult result =
        run({"--simulate", "--sim-unpaced", "-q", "-o", (dir_ / "x.txt").string()},
            StandardError::Terminal);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace
