// Rates outside the B-constant table go through the kernel's termios2 and
// BOTHER, which glibc's termios does not offer; its header cannot stand beside
// <termios.h>, hence this file of its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "linesetup.h"

namespace talveno::link {

int setCustomRate(int fd, int rate) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(rate);
    tio.c_ospeed = static_cast<speed_t>(rate);
    if (::ioctl(fd, TCSETS2, &tio) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace talveno::link
