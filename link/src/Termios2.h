/* Speeds without a B constant go through the kernel's termios2 interface. Its header clashes
 * with the C library's termios.h, so it lives in its own translation unit. */
#ifndef CABLOR_TERMIOS2_H
#define CABLOR_TERMIOS2_H

#ifdef __cplusplus
extern "C" {
#endif

/* Sets input and output speed of an open tty to any baud rate (BOTHER). 0 or an errno value. */
int cablorSetArbitrarySpeed(int fd, unsigned int speed);

#ifdef __cplusplus
}
#endif

#endif
