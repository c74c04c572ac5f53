// Line speeds that termios has no constant for (14400, 56000, 128000) go
// through the Linux arbitrary-rate interface. It needs the kernel's own
// termios2 structure, which cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

// Sets both directions to the exact rate; 0 on success, else the errno.
// A driver that cannot do the rate either refuses it or reports another
// rate back; more than 2 % off counts as refused (EINVAL).
int ComSetArbitrarySpeed(int fd, int speed) {
#if defined(TCGETS2) && defined(BOTHER)
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(speed);
    tio.c_ospeed = static_cast<speed_t>(speed);
    if (ioctl(fd, TCSETS2, &tio) != 0) return errno;
    struct termios2 back {};
    if (ioctl(fd, TCGETS2, &back) != 0) return errno;
    const long diff = static_cast<long>(back.c_ospeed) - speed;
    if (diff * 50 > speed || -diff * 50 > speed) return EINVAL;
    return 0;
#else
    (void)fd;
    (void)speed;
    return ENOTSUP;
#endif
}
