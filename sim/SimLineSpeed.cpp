// The speed the computer set on its side of the pseudo-terminal. The master
// side reads the slave's settings; the kernel's termios2 gives the rate as a
// number, non-standard rates included, and cannot share a file with
// <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

int SimTerminalSpeed(int masterFd) {
#if defined(TCGETS2)
    struct termios2 tio {};
    if (ioctl(masterFd, TCGETS2, &tio) != 0) return 0;
    return static_cast<int>(tio.c_ospeed);
#else
    (void)masterFd;
    return 0;
#endif
}
