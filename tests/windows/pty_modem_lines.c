/* Preloaded into Wine 10 by run.sh: a pseudo-terminal answers the modem-line query (TIOCMGET)
 * as a serial port on a three-wire cable does, with no line raised. Linux refuses that query on
 * a pseudo-terminal (ENOTTY), and Wine 10 then ends every WaitCommEvent on the port at once with
 * "cancelled", so no Windows program can read a COM port mapped to a pseudo-terminal: Qt reports
 * a device that went away. Every other call, and every real device, is left alone.
 * Built by run.sh: cc -shared -fPIC -o pty_modem_lines.so pty_modem_lines.c -ldl */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix 98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143. */
static int is_pty_slave(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
           major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, void *);
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (!real)
        real = (int (*)(int, unsigned long, void *))dlsym(RTLD_NEXT, "ioctl");

    int saved = errno;
    int result = real(fd, request, arg);
    if (result == -1 && errno == ENOTTY && request == TIOCMGET && arg && is_pty_slave(fd)) {
        *(int *)arg = 0;
        errno = saved;
        return 0;
    }
    return result;
}
