// The termios backend on a real pseudo-terminal: the test holds the master side, the port opens
// the slave by its path.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <time.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>

#include "CommDevice.h"
#include "CommInt.h"

namespace {

struct Pty : ::testing::Test {
  int Master = -1;
  std::string SlavePath;
  TComm Port;
  std::mutex Lock;
  std::condition_variable Cond;
  std::string Got;
  int DsrEvents = 0;

  void SetUp() override {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(::grantpt(Master), 0);
    ASSERT_EQ(::unlockpt(Master), 0);
    SlavePath = ::ptsname(Master);
    Port.SetDeviceName(SlavePath);
    Port.OnRxChar = [this](TCustomComm& P, int Count) {
      char buf[256];
      const int n = P.Read(buf, std::min<size_t>(sizeof buf, static_cast<size_t>(Count)));
      std::lock_guard<std::mutex> g(Lock);
      if (n > 0) Got.append(buf, static_cast<size_t>(n));
      Cond.notify_all();
    };
    Port.OnDsr = [this](TCustomComm&) {
      std::lock_guard<std::mutex> g(Lock);
      ++DsrEvents;
      Cond.notify_all();
    };
  }
  void TearDown() override {
    Port.Close();
    if (Master >= 0) ::close(Master);
  }
  termios MasterView() {
    termios t{};
    EXPECT_EQ(::tcgetattr(Master, &t), 0);  // a pty master reports its slave's settings
    return t;
  }
  std::string ReadMaster(size_t Want) {
    std::string s;
    while (s.size() < Want) {
      pollfd pf{Master, POLLIN, 0};
      if (::poll(&pf, 1, 5000) <= 0) break;
      char buf[256];
      const ssize_t n = ::read(Master, buf, sizeof buf);
      if (n <= 0) break;
      s.append(buf, static_cast<size_t>(n));
    }
    return s;
  }
};

TEST(PosixComm, OpeningAMissingDeviceNamesItAndTheReason) {
  TComm port;
  port.SetDeviceName("/dev/kxta-no-such-port");
  try {
    port.Open();
    FAIL() << "opened a missing device";
  } catch (const ECommError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_EQ(std::string(e.what()),
              "Error accessing specified device" + Format(" (Error: %d) ", ENOENT));
    EXPECT_NE(e.Detail().find("/dev/kxta-no-such-port: no such device"), std::string::npos);
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(port.ModemStatus(2));
}

TEST(PosixComm, ARegularFileIsNoSerialDevice) {
  char path[] = "/tmp/kxta-notatty-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  TComm port;
  port.SetDeviceName(path);
  try {
    port.Open();
    FAIL();
  } catch (const ECommError& e) {
    EXPECT_STREQ(e.what(), "Invalid device handle, access denied (Error: -1) ");
  }
  ::unlink(path);
}

TEST_F(Pty, BytesTravelBothWays) {
  Port.Open();
  ASSERT_EQ(::write(Master, "TA616\r\n", 7), 7);
  {
    std::unique_lock<std::mutex> l(Lock);
    ASSERT_TRUE(Cond.wait_for(l, std::chrono::seconds(5), [&] { return Got.size() >= 7; }));
    EXPECT_EQ(Got, "TA616\r\n");  // raw mode: nothing translated
  }
  EXPECT_EQ(Port.Write("VER\r", 4), 4);
  EXPECT_EQ(ReadMaster(4), "VER\r");
}

TEST_F(Pty, LineSettingsApplyAtOnceAndFlowNoneClearsHandshakes) {
  Port.SetFlowControl(fcCTS);
  Port.Open();
  EXPECT_NE(MasterView().c_cflag & CRTSCTS, 0u);
  Port.SetFlowControl(fcSoftware);
  Port.SetFlowControl(fcNone);
  termios t = MasterView();
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

  Port.SetBaudRate(br2400);
  EXPECT_EQ(::cfgetospeed(&(t = MasterView())), static_cast<speed_t>(B2400));
  // Seven data bits: a pty refuses the size, the port falls back to eight and keeps the rest.
  EXPECT_NO_THROW(Port.SetDatabits(da7));
  Port.SetStopbits(sb20);
  t = MasterView();
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B2400));
}

TEST_F(Pty, MarkAndSpaceParityAreAccepted) {
  // A pty keeps CMSPAR and PARODD but drops PARENB (it has no bits on a wire), so those two
  // show which parity reached the driver.
  Port.Open();
  EXPECT_NO_THROW(Port.SetParity(paMark));
  termios t = MasterView();
  EXPECT_EQ(t.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(CMSPAR | PARODD));
  EXPECT_NO_THROW(Port.SetParity(paSpace));
  t = MasterView();
  EXPECT_EQ(t.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(CMSPAR));
  EXPECT_NO_THROW(Port.SetParity(paOdd));
  t = MasterView();
  EXPECT_EQ(t.c_cflag & (CMSPAR | PARODD), static_cast<tcflag_t>(PARODD));
  Port.SetParity(paNone);
  EXPECT_EQ(MasterView().c_cflag & (PARENB | PARODD | CMSPAR), 0u);
}

TEST_F(Pty, RatesWithoutAConstantGoThroughTheCustomPath) {
  Port.Open();
  // 14400 has no Bnnn constant; the pty may or may not take it, but it must not be mistaken
  // for another rate: either it is refused with a code, or it is set.
  try {
    Port.SetBaudRate(br14400);
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), "Error updating DataControlBlock");
    EXPECT_GT(e.ErrorCode(), 0);
  }
  Port.SetBaudRate(br115200);
  termios t = MasterView();
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
}

TEST_F(Pty, NoModemLinesMeansDsrOnCarrierOffAndDtrIsANoOp) {
  Port.Open();
  EXPECT_TRUE(Port.ModemStatus(2));
  EXPECT_FALSE(Port.ModemStatus(4));
  EXPECT_NO_THROW(Port.SetDTR(true));
  EXPECT_NO_THROW(Port.SetRTS(false));
}

TEST_F(Pty, SecondOpenIsRefusedAsBusy) {
  Port.Open();
  TComm other;
  other.SetDeviceName(SlavePath);
  try {
    other.Open();
    FAIL();
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), "Error accessing specified device");
    EXPECT_EQ(e.ErrorCode(), EBUSY);
    EXPECT_NE(e.Detail().find("busy"), std::string::npos);
  }
}

TEST_F(Pty, HangUpOfTheFarEndReadsAsDsrLostOnce) {
  Port.Open();
  ::close(Master);
  Master = -1;
  std::unique_lock<std::mutex> l(Lock);
  ASSERT_TRUE(Cond.wait_for(l, std::chrono::seconds(5), [&] { return DsrEvents >= 1; }));
  l.unlock();
  EXPECT_FALSE(Port.ModemStatus(2));
  // The watcher must not keep reporting (or spinning on) the hang-up; Close still works.
  Port.Close();
  EXPECT_EQ(DsrEvents, 1);
}

TEST_F(Pty, CloseEndsAWaitingWatcherWithoutCallback) {
  Port.Open();
  Port.Close();
  ASSERT_EQ(::write(Master, "x", 1), 1);
  EXPECT_TRUE(Got.empty());
  EXPECT_EQ(DsrEvents, 0);
  Port.Open();  // the pty can be taken again: the exclusive lock was released
  EXPECT_TRUE(Port.Connected());
}

TEST_F(Pty, UnreadBytesDoNotSpinTheWatcher) {
  // Nobody reads what arrives: the level-triggered poll must not turn that into a busy loop.
  Port.OnRxChar = nullptr;
  Port.Open();
  ASSERT_EQ(::write(Master, "unread", 6), 6);
  timespec c0{}, c1{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
  {
    std::unique_lock<std::mutex> l(Lock);
    Cond.wait_for(l, std::chrono::milliseconds(300), [] { return false; });  // a measured span
  }
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
  const double cpuMs = (c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6;
  EXPECT_LT(cpuMs, 30.0);
}

}  // namespace
