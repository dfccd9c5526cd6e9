#include "Termios2.h"

#include <asm/termbits.h>
#include <errno.h>
#include <sys/ioctl.h>

int cablorSetArbitrarySpeed(int fd, unsigned int speed) {
    struct termios2 settings;
    if (ioctl(fd, TCGETS2, &settings) < 0) return errno;
    settings.c_cflag &= ~(unsigned int)CBAUD;
    settings.c_cflag |= BOTHER;
    settings.c_cflag &= ~(unsigned int)(CBAUD << IBSHIFT);
    settings.c_cflag |= BOTHER << IBSHIFT;
    settings.c_ispeed = speed;
    settings.c_ospeed = speed;
    if (ioctl(fd, TCSETS2, &settings) < 0) return errno;
    return 0;
}
