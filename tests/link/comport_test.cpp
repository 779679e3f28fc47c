// ComPort1 against the bar simulator and raw pseudo-terminals: whole
// downloads, the line as the bar's side sees it, the port's errors with the
// system's numbers, the unplug, and the delivery of its notifications.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "harness.h"
#include "linesetup.h"
#include "readinglist.h"

namespace talveno::link {
namespace {

using namespace testing;
using sim::BarOptions;
using sim::SimulatedBar;

BarOptions unpaced(int lines = 1000) {
    BarOptions options;
    options.baud = 0;
    options.lines = lines;
    return options;
}

PortSettings on(const std::string& path) {
    PortSettings settings;
    settings.port = QString::fromStdString(path);
    return settings;
}

// What open() threw, or "opened".
std::string openOutcome(ComPort& port) {
    try {
        port.open();
    } catch (const PortError& e) {
        return e.what();
    }
    return "opened";
}

// The system's own answer to opening path as a serial device: the error of
// open(), or of asking a terminal for its settings, or 0.
int systemOpenError(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return errno;
    }
    termios tio{};
    const int error = ::tcgetattr(fd, &tio) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

template <typename Operation>
std::string thrownBy(Operation operation) {
    try {
        operation();
    } catch (const PortError& e) {
        return e.what();
    }
    return "nothing thrown";
}

// ---------------------------------------------------------------- downloads

struct StreamCase {
    const char* name;
    BarOptions options;
};
void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

BarOptions with(const std::function<void(BarOptions&)>& change) {
    BarOptions options = unpaced();
    change(options);
    return options;
}

const StreamCase kStreamCases[] = {
    {"PlainReadings", unpaced()},
    {"NulBytes", with([](BarOptions& o) { o.nulBytes = true; })},
    {"HighBytes", with([](BarOptions& o) { o.highBytes = true; })},
    {"LoneCrAndLf", with([](BarOptions& o) { o.loneCrLf = true; })},
    {"OneByteWrites", with([](BarOptions& o) { o.chunkSize = 1; })},
    {"LargeWrites", with([](BarOptions& o) { o.chunkSize = 4096; })},
    {"LinesAfterTheThousandth", with([](BarOptions& o) { o.extraLines = 50; })},
};

class WholeDownload : public ::testing::TestWithParam<StreamCase> {};

TEST_P(WholeDownload, ListIsTheBarsAndOnlyTheCommandsGoDownTheLine) {
    LinkedDownload d(GetParam().options);
    const std::string stream = sim::readingStream(d.options);

    d.workflow.BitBtn1Click();
    ASSERT_TRUE(waitFor([&] { return d.received().size() >= stream.size(); }))
        << d.received().size() << " of " << stream.size() << " bytes";
    EXPECT_EQ(d.received(), stream);
    EXPECT_TRUE(d.workflow.listFinished());
    ReceiveText expected;
    expected.append(stream);
    EXPECT_EQ(d.window.memo2, buildReadingList(expected));
    EXPECT_TRUE(d.handlerErrors.empty());
    EXPECT_TRUE(std::ranges::all_of(d.counts, [](int count) { return count > 0; }));

    d.workflow.Button4Click();
    d.workflow.Button4Click();
    ASSERT_TRUE(d.bar.waitForReceived(3, 10s));
    d.workflow.FormClose();
    EXPECT_FALSE(d.port.isOpen());
    EXPECT_EQ(d.bar.received(), "833");
}

INSTANTIATE_TEST_SUITE_P(Streams, WholeDownload, ::testing::ValuesIn(kStreamCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortNotifications, ReachTheWorkflowWhileAModalDialogIsOpen) {
    LinkedDownload d(unpaced());
    QDialog dialog;
    int whileModal = 0;
    int otherwise = 0;
    QObject::connect(&d.port, &ComPort::rxChar, &dialog, [&](int) {
        ++(QApplication::activeModalWidget() == &dialog ? whileModal : otherwise);
        if (d.workflow.listFinished()) {
            dialog.accept();
        }
    });
    QTimer::singleShot(0, &dialog, [&] {
        // Connect from inside the dialog's own event loop.
        QTimer::singleShot(0, &dialog, [&] {
            try {
                d.workflow.BitBtn1Click();
            } catch (const Error& e) {
                ADD_FAILURE() << e.what();
                dialog.reject();
            }
        });
        QTimer::singleShot(kWaitMs, &dialog, &QDialog::reject);
        dialog.exec();
    });

    ASSERT_TRUE(waitFor([&] { return d.workflow.listFinished() && !dialog.isVisible(); }));
    EXPECT_GT(whileModal, 0);
    EXPECT_EQ(otherwise, 0);
    EXPECT_EQ(d.received(), sim::readingStream(d.options));
}

// A handler may read less than it is told; what it leaves comes again.
TEST(ComPortNotifications, HandlerReadingOneByteAtATimeGetsEveryByte) {
    BarOptions options = unpaced();
    options.stream = std::string("12\r\n345\r\n") + std::string(300, 'x') + "\r\n";
    SimulatedBar bar(options);
    bar.start();
    ComPort port;
    port.setSettings(on(bar.devicePath()));
    std::string got;
    std::vector<int> counts;
    QObject::connect(&port, &ComPort::rxChar, [&](int count) {
        counts.push_back(count);
        got += port.read(1);
    });
    port.open();
    port.write("8");
    ASSERT_TRUE(waitFor([&] { return got.size() >= options.stream->size(); })) << got.size();
    EXPECT_EQ(got, *options.stream);
    EXPECT_TRUE(std::ranges::all_of(counts, [](int count) { return count > 0; }));
}

// A handler that reads nothing is told again only when more bytes arrive:
// the port does not spin on bytes nobody takes, and loses none of them.
TEST(ComPortNotifications, BytesLeftWaitingAreAnnouncedOnlyOnArrival) {
    BarOptions options = unpaced(40);
    options.chunkSize = 32;
    const std::string stream = sim::readingStream(options);
    const std::size_t writes = sim::answerWrites(options).size();
    SimulatedBar bar(options);
    bar.start();
    ComPort port;
    port.setSettings(on(bar.devicePath()));
    std::vector<int> counts;
    QObject::connect(&port, &ComPort::rxChar, [&](int count) { counts.push_back(count); });
    port.open();
    port.write("8");

    ASSERT_TRUE(waitFor(
        [&] { return !counts.empty() && counts.back() == static_cast<int>(stream.size()); }));
    const std::size_t calls = counts.size();
    QTest::qWait(200);  // room for announcements there should not be
    EXPECT_EQ(counts.size(), calls);
    EXPECT_LE(calls, writes);
    EXPECT_EQ(port.read(INT_MAX), stream);
}

struct NestedCase {
    const char* name;
    long hangUpAfter;  // -1: the bar finishes sending while the handler waits
};
void PrintTo(const NestedCase& c, std::ostream* os) {
    *os << c.name;
}

const NestedCase kNestedCases[] = {
    {"BarFinishesMeanwhile", -1},
    {"BarIsUnpluggedMeanwhile", 2000},
};

class HandlerInModalLoop : public ::testing::TestWithParam<NestedCase> {};

// A handler that runs an event loop of its own (a modal dialog) is not
// called again inside it; what arrives meanwhile, and a failure of the
// device meanwhile, come once it has returned, in that order.
TEST_P(HandlerInModalLoop, IsNotReenteredAndNothingIsLost) {
    BarOptions options;
    options.baud = 115200;  // bytes keep coming while the first handler waits
    options.hangUpAfter = GetParam().hangUpAfter;
    const std::string stream = sim::readingStream(options);
    const std::string expected =
        options.hangUpAfter < 0 ? stream : stream.substr(0, std::size_t(options.hangUpAfter));
    SimulatedBar bar(options);
    bar.start();
    ComPort port;
    port.setSettings(on(bar.devicePath()));
    std::string got;
    std::vector<std::string> events;
    int depth = 0;
    int deepest = 0;
    QObject::connect(&port, &ComPort::rxChar, [&](int count) {
        deepest = std::max(deepest, ++depth);
        events.push_back("rxChar");
        if (events.size() == 1) {
            // Reads nothing yet: only what arrives from here on brings the
            // port back to it.
            EXPECT_TRUE(waitFor([&] {
                return options.hangUpAfter < 0 ? bar.sentCount() >= stream.size() : bar.hungUp();
            }));
            QTest::qWait(100);  // the port sees the bytes, or the failure, meanwhile
        } else {
            got += port.read(count);
        }
        --depth;
    });
    QObject::connect(&port, &ComPort::failed, [&] {
        EXPECT_EQ(depth, 0);
        events.push_back("failed");
    });
    port.open();
    port.write("8");

    if (options.hangUpAfter < 0) {
        ASSERT_TRUE(waitFor([&] { return got.size() >= expected.size(); }));
    } else {
        ASSERT_TRUE(waitFor([&] { return !events.empty() && events.back() == "failed"; }));
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(events.size(), 2u);
    EXPECT_EQ(std::ranges::count(events, "failed"), options.hangUpAfter < 0 ? 0 : 1);
    if (options.hangUpAfter >= 0) {
        EXPECT_EQ(events.back(), "failed");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HandlerInModalLoop, ::testing::ValuesIn(kNestedCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the line

struct LineCase {
    const char* name;
    std::function<void(PortSettings&)> choose;
    speed_t speed;
    tcflag_t size;
    tcflag_t parity;  // PARENB, PARODD and CMSPAR as set
    bool twoStopBits;
    bool rtsCts;
    bool xonXoff;
};
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

const LineCase kLineCases[] = {
    {"DesignSettings", [](PortSettings&) {}, B9600, CS8, 0, false, false, false},
    {"Rate19200TwoStopBits",
     [](PortSettings& s) {
         s.baudRate = 19200;
         s.stopBits = StopBits::Two;
     },
     B19200, CS8, 0, true, false, false},
    {"Rate115200", [](PortSettings& s) { s.baudRate = 115200; }, B115200, CS8, 0, false, false,
     false},
    {"HardwareFlow", [](PortSettings& s) { s.setFlowControl(FlowControl::Hardware); }, B9600, CS8,
     0, false, true, false},
    {"SoftwareFlow", [](PortSettings& s) { s.setFlowControl(FlowControl::Software); }, B9600, CS8,
     0, false, false, true},
};

class LineAfterOpen : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineAfterOpen, IsAsTheSettingsSay) {
    const LineCase& c = GetParam();
    SimulatedBar bar;
    ComPort port;
    PortSettings settings = on(bar.devicePath());
    c.choose(settings);
    port.setSettings(settings);
    port.open();

    const termios tio = bar.lineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    EXPECT_EQ(::cfgetispeed(&tio), c.speed);
    EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), c.parity);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtsCts);
    EXPECT_EQ((tio.c_iflag & IXON) != 0, c.xonXoff);
    EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.xonXoff);
    // Raw 8-bit line, receiver on, reads that never wait.
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, LineAfterOpen, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- errors

TEST(ComPortOpen, AbsentDeviceIsReportedWithTheSystemsNumber) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("no-such-device")).toStdString();
    ComPort port;
    port.setSettings(on(path));
    const int expected = systemOpenError(path);
    EXPECT_EQ(expected, ENOENT);
    EXPECT_EQ(openOutcome(port), portMessage("Unable to open com port", expected));
    EXPECT_FALSE(port.isOpen());
}

TEST(ComPortOpen, FileThatIsNoTerminalIsRefused) {
    ComPort port;
    port.setSettings(on("/dev/null"));
    const int expected = systemOpenError("/dev/null");
    EXPECT_EQ(expected, ENOTTY);
    EXPECT_EQ(openOutcome(port), portMessage("Unable to open com port", expected));
    EXPECT_FALSE(port.isOpen());
}

struct SecondNameCase {
    const char* name;
    std::function<std::string(SimulatedBar&, const QTemporaryDir&)> nameOf;
};
void PrintTo(const SecondNameCase& c, std::ostream* os) {
    *os << c.name;
}

const SecondNameCase kSecondNames[] = {
    {"SamePath", [](SimulatedBar& bar, const QTemporaryDir&) { return bar.devicePath(); }},
    {"NameInDev",
     [](SimulatedBar& bar, const QTemporaryDir&) { return bar.devicePath().substr(5); }},
    {"SymbolicLink",
     [](SimulatedBar& bar, const QTemporaryDir& dir) {
         const std::string link = dir.filePath(QStringLiteral("bar")).toStdString();
         bar.linkTo(link);
         return link;
     }},
};

class HeldDevice : public ::testing::TestWithParam<SecondNameCase> {};

// The first program holds the device; a second one, however it names the
// device, is refused with EBUSY, the system's number for a busy device (what
// a terminal held exclusively answers a second open() by a user who is not
// root), until the first lets go.
TEST_P(HeldDevice, IsRefusedToASecondProgramUntilReleased) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SimulatedBar bar;
    ComPort first;
    first.setSettings(on(bar.devicePath()));
    first.open();
    ComPort second;
    second.setSettings(on(GetParam().nameOf(bar, dir)));

    EXPECT_EQ(openOutcome(second), portMessage("Unable to open com port", EBUSY));
    EXPECT_FALSE(second.isOpen());

    first.close();
    EXPECT_EQ(openOutcome(second), "opened");
}

INSTANTIATE_TEST_SUITE_P(SecondNames, HeldDevice, ::testing::ValuesIn(kSecondNames),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::function<void(PortSettings&)> choose;
};
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

const RefusedCase kRefusedCases[] = {
    {"OneAndAHalfStopBits", [](PortSettings& s) { s.stopBits = StopBits::OneAndHalf; }},
    {"FourDataBits", [](PortSettings& s) { s.dataBits = 4; }},
    {"NineDataBits", [](PortSettings& s) { s.dataBits = 9; }},
    {"RateZero", [](PortSettings& s) { s.baudRate = 0; }},
    {"NegativeRate", [](PortSettings& s) { s.baudRate = -9600; }},
    {"OutputHeldByDsr", [](PortSettings& s) { s.outDsrFlow = true; }},
    {"DtrHandshake", [](PortSettings& s) { s.controlDtr = LineControl::Handshake; }},
    // Settings a pseudo-terminal does not take: Linux keeps it at 8 bits
    // without parity and reports success; the port reads the line back.
    {"SevenDataBitsOnAPseudoTerminal", [](PortSettings& s) { s.dataBits = 7; }},
    {"FiveDataBitsOnAPseudoTerminal", [](PortSettings& s) { s.dataBits = 5; }},
    {"EvenParityOnAPseudoTerminal", [](PortSettings& s) { s.parity = Parity::Even; }},
    {"MarkParityOnAPseudoTerminal", [](PortSettings& s) { s.parity = Parity::Mark; }},
};

class RefusedSetting : public ::testing::TestWithParam<RefusedCase> {};

// The system has no such setting, or the device does not take it: it is
// refused with EINVAL, not quietly replaced by another, and the device is
// closed again.
TEST_P(RefusedSetting, FailsTheSetUpAndLeavesTheDeviceClosed) {
    SimulatedBar bar;
    ComPort port;
    PortSettings settings = on(bar.devicePath());
    GetParam().choose(settings);
    port.setSettings(settings);

    EXPECT_EQ(openOutcome(port), portMessage("SetCommState function failed", EINVAL));
    EXPECT_FALSE(port.isOpen());
    ComPort next;
    next.setSettings(on(bar.devicePath()));
    EXPECT_EQ(openOutcome(next), "opened");
}

INSTANTIATE_TEST_SUITE_P(Settings, RefusedSetting, ::testing::ValuesIn(kRefusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComPortClosed, CloseIsHarmlessAndReadAndWriteFail) {
    ComPort port;
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(thrownBy([&] { port.read(10); }), portMessage("ReadFile function failed", EBADF));
    EXPECT_EQ(thrownBy([&] { port.write("8"); }), portMessage("WriteFile function failed", EBADF));
}

TEST(ComPortOpen, OpeningAnOpenPortChangesNothing) {
    SimulatedBar bar;
    ComPort port;
    port.setSettings(on(bar.devicePath()));
    port.open();
    EXPECT_EQ(openOutcome(port), "opened");
    EXPECT_TRUE(port.isOpen());
}

// ---------------------------------------------------------------- the unplug

struct UnplugCase {
    const char* name;
    long hangUpAfter;  // -1: unplugged by hand once the download is over
};
void PrintTo(const UnplugCase& c, std::ostream* os) {
    *os << c.name;
}

const UnplugCase kUnplugCases[] = {
    {"MidDownload", 3000},
    {"AfterTheFirstByte", 1},
    {"AfterTheDownload", -1},
};

class Unplug : public ::testing::TestWithParam<UnplugCase> {};

// A hung-up terminal answers every request with EIO. The port reports that
// once, however many errors the system raises, keeps what arrived before,
// and stays nominally open until closed.
TEST_P(Unplug, IsReportedOnceAndKeepsWhatArrived) {
    BarOptions options = unpaced();
    options.hangUpAfter = GetParam().hangUpAfter;
    LinkedDownload d(options);
    const std::string stream = sim::readingStream(options);
    const std::size_t sendable =
        options.hangUpAfter < 0 ? stream.size() : static_cast<std::size_t>(options.hangUpAfter);
    QSignalSpy failures(&d.port, &ComPort::failed);

    d.workflow.BitBtn1Click();
    if (options.hangUpAfter < 0) {
        ASSERT_TRUE(waitFor([&] { return d.received().size() >= stream.size(); }));
        d.bar.hangUp();
    }
    ASSERT_TRUE(failures.wait(kWaitMs));
    const std::size_t chunksAtFailure = d.counts.size();
    QTest::qWait(300);  // room for the further errors a vanished device raises

    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.at(0).at(0).toString().toStdString(),
              portMessage("ReadFile function failed", EIO));
    EXPECT_EQ(d.counts.size(), chunksAtFailure);
    EXPECT_EQ(d.received(), stream.substr(0, sendable));
    EXPECT_TRUE(d.handlerErrors.empty());

    EXPECT_TRUE(d.port.isOpen());
    EXPECT_EQ(thrownBy([&] { d.port.read(10); }), portMessage("ReadFile function failed", EIO));
    EXPECT_EQ(thrownBy([&] { d.workflow.Button4Click(); }),
              portMessage("WriteFile function failed", EIO));
    EXPECT_EQ(failures.count(), 1);
    EXPECT_EQ(thrownBy([&] { d.workflow.FormClose(); }), "nothing thrown");
    EXPECT_FALSE(d.port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Moments, Unplug, ::testing::ValuesIn(kUnplugCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- writing

// Nobody reads the other side, so the terminal's buffer fills and a write
// cannot go: it fails after its time (1000 ms + 100 ms a byte) and the byte is
// dropped, not sent behind the user's back later.
TEST(ComPortWrite, ThatCannotGoFailsAfterItsTimeAndIsNotSentLater) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string path = ::ptsname(master);
    const int filler = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    termios raw{};
    ASSERT_EQ(::tcgetattr(filler, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(filler, TCSANOW, &raw), 0);
    // The kernel moves what was written on to the other side's buffer a
    // little later, making room again; fill until no room comes back.
    const std::string block(4096, 'x');
    bool full = false;
    for (int round = 0; round < 100 && !full; ++round) {
        while (::write(filler, block.data(), block.size()) > 0) {
        }
        ASSERT_EQ(errno, EAGAIN);
        QTest::qWait(20);
        full = ::write(filler, block.data(), 1) < 0 && errno == EAGAIN;
    }
    ASSERT_TRUE(full);

    ComPort port;
    port.setSettings(on(path));
    port.open();
    EXPECT_EQ(thrownBy([&] { port.write("8"); }),
              portMessage("WriteFile function failed", ETIMEDOUT));

    std::string cameOut;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(master, buffer, sizeof buffer)) > 0) {
            cameOut.append(buffer, static_cast<std::size_t>(n));
        }
    };
    drain();
    QTest::qWait(100);  // the event loop would send what was left behind
    drain();
    EXPECT_EQ(cameOut.find('8'), std::string::npos);

    port.close();
    ::close(filler);
    ::close(master);
}

}  // namespace
}  // namespace talveno::link
