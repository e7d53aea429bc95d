// Bit rates that have no Bnnn constant, through the Linux termios2 interface. Kept apart because
// <asm/termbits.h> and <termios.h> cannot be included together.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

int SetCustomBaudRate(int Fd, unsigned Rate) {
  struct termios2 t {};
  if (::ioctl(Fd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
  t.c_cflag |= BOTHER;
  t.c_ispeed = Rate;
  t.c_ospeed = Rate;
  if (::ioctl(Fd, TCSETS2, &t) != 0) return errno;
  return 0;
}
