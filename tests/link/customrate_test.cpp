// Rates with no B constant of their own (the dialog's 14400, 56000, 128000
// and 256000, and typed rates) reach the line through the kernel's termios2,
// which is read back here on the other side of a raw pseudo-terminal. This
// file keeps away from <termios.h>, which cannot stand beside termios2.
#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "comport.h"

namespace talveno::link {
namespace {

class CustomRate : public ::testing::TestWithParam<int> {};

TEST_P(CustomRate, ReachesTheLineExactly) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);

    ComPort port;
    PortSettings settings;
    settings.port = QString::fromLocal8Bit(::ptsname(master));
    settings.baudRate = GetParam();
    port.setSettings(settings);
    port.open();

    struct termios2 line {};
    ASSERT_EQ(::ioctl(master, TCGETS2, &line), 0);
    EXPECT_EQ(line.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(line.c_ospeed, static_cast<speed_t>(GetParam()));
    EXPECT_EQ(line.c_ispeed, static_cast<speed_t>(GetParam()));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

    port.close();
    ::close(master);
}

INSTANTIATE_TEST_SUITE_P(Rates, CustomRate, ::testing::Values(14400, 56000, 128000, 256000, 250000),
                         [](const auto& info) { return "Rate" + std::to_string(info.param); });

}  // namespace
}  // namespace talveno::link
