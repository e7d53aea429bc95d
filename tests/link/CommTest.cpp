// The serial port over the in-memory line: property rules, event dispatch, the watcher's end,
// device names and the line trace.
#include <gtest/gtest.h>
#include <grp.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "CommDevice.h"
#include "CommInt.h"
#include "MemoryLine.h"
#include "support/TempDir.h"

namespace {

class TSink : public TMemoryPeer {
 public:
  void HostWrite(const char* Data, size_t Count) override {
    std::lock_guard<std::mutex> g(Lock);
    Written.append(Data, Count);
  }
  void HostControl(bool D, bool R) override {
    Dtr = D;
    Rts = R;
  }
  std::mutex Lock;
  std::string Written;
  std::atomic<bool> Dtr{false}, Rts{false};
};

// A port on a memory line registered under a name of its own.
struct MemoryPort : ::testing::Test {
  TSink Peer;
  TMemoryLine Line{&Peer};
  TComm Port;
  std::mutex Lock;
  std::condition_variable Cond;
  std::vector<std::string> Events;

  MemoryPort() {
    RegisterCommDevice("memtest", [this] { return Line.CreateDevice("memtest"); });
    Port.SetDeviceName("memtest");
  }
  ~MemoryPort() override {
    Port.Close();
    UnregisterCommDevice("memtest");
  }
  void Note(const std::string& E) {
    {
      std::lock_guard<std::mutex> g(Lock);
      Events.push_back(E);
    }
    Cond.notify_all();
  }
  // Blocks until N events have been noted (or a generous limit passes).
  bool WaitEvents(size_t N) {
    std::unique_lock<std::mutex> l(Lock);
    return Cond.wait_for(l, std::chrono::seconds(5), [&] { return Events.size() >= N; });
  }
};

TEST_F(MemoryPort, PropertyRulesWhileOpen) {
  Port.Open();
  ASSERT_TRUE(Port.Connected());
  try {
    Port.Open();
    FAIL() << "second Open accepted";
  } catch (const ECommError& e) {
    EXPECT_STREQ(e.what(), "Port already assigned (open) (Error: -1) ");
    EXPECT_EQ(e.ErrorCode(), -1);
  }
  EXPECT_THROW(Port.SetDeviceName("other"), ECommError);
  EXPECT_THROW(Port.SetMonitorEvents({evRxChar}), ECommError);
  EXPECT_THROW(Port.SetReadBufSize(100), ECommError);
  EXPECT_THROW(Port.SetWriteBufSize(100), ECommError);
  // The same value is no change and no error.
  EXPECT_NO_THROW(Port.SetDeviceName("memtest"));
  EXPECT_EQ(Port.DeviceName(), "memtest");

  // Line settings apply at once while open.
  Port.SetBaudRate(br2400);
  Port.SetParity(paMark);
  Port.SetFlowControl(fcNone);
  const TLineSettings applied = Line.AppliedSettings();
  EXPECT_EQ(applied.BaudRate, br2400);
  EXPECT_EQ(applied.Parity, paMark);
  EXPECT_EQ(applied.FlowControl, fcNone);

  Port.Close();
  EXPECT_FALSE(Port.Connected());
  EXPECT_NO_THROW(Port.SetReadBufSize(100));
  EXPECT_EQ(Port.ReadBufSize(), 100);
}

TEST_F(MemoryPort, ClosedPortRefusesLinesAndReportsNoStatus) {
  EXPECT_FALSE(Port.ModemStatus(2));
  try {
    Port.SetDTR(true);
    FAIL();
  } catch (const ECommError& e) {
    EXPECT_STREQ(e.what(), "Port not open, unable to complete operation (Error: -1) ");
  }
  EXPECT_THROW(Port.SetRTS(true), ECommError);
  Port.Open();
  EXPECT_TRUE(Port.ModemStatus(2));
  EXPECT_FALSE(Port.ModemStatus(4));
  EXPECT_FALSE(Port.ModemStatus(0));
  EXPECT_FALSE(Port.ModemStatus(5));
  Port.SetDTR(true);
  Port.SetRTS(true);
  EXPECT_TRUE(Peer.Dtr.load());
  EXPECT_TRUE(Line.Rts());
}

TEST_F(MemoryPort, ReceivedBytesAndLineChangesReachTheCallbacks) {
  std::string got;
  Port.OnRxChar = [&](TCustomComm& P, int Count) {
    char buf[64];
    const int n = P.Read(buf, std::min<size_t>(sizeof buf, static_cast<size_t>(Count)));
    got.append(buf, static_cast<size_t>(n));
    Note("rx" + std::to_string(Count));
  };
  Port.OnDsr = [&](TCustomComm& P) { Note(P.ModemStatus(2) ? "dsr on" : "dsr off"); };
  Port.OnRlsd = [&](TCustomComm&) { Note("cd"); };
  Port.Open();
  Line.PeerSend("hello", 5);
  ASSERT_TRUE(WaitEvents(1));
  Line.SetDsr(false);
  ASSERT_TRUE(WaitEvents(2));
  Line.SetCarrier(true);
  ASSERT_TRUE(WaitEvents(3));
  std::lock_guard<std::mutex> g(Lock);
  EXPECT_EQ(got, "hello");
  EXPECT_EQ(Events, (std::vector<std::string>{"rx5", "dsr off", "cd"}));
}

TEST_F(MemoryPort, UnmonitoredEventsAreNotReported) {
  Port.SetMonitorEvents({evRxChar});
  Port.OnDsr = [&](TCustomComm&) { Note("dsr"); };
  Port.OnRxChar = [&](TCustomComm& P, int Count) {
    char buf[16];
    P.Read(buf, static_cast<size_t>(std::min(Count, 16)));
    Note("rx");
  };
  Port.Open();
  Line.SetDsr(false);
  Line.PeerSend("x", 1);
  ASSERT_TRUE(WaitEvents(1));
  std::lock_guard<std::mutex> g(Lock);
  EXPECT_EQ(Events, (std::vector<std::string>{"rx"}));
}

TEST_F(MemoryPort, DispatchOrderAndEmptyQueue) {
  std::vector<std::string> order;
  Port.OnBreak = [&](TCustomComm&) { order.push_back("break"); };
  Port.OnCts = [&](TCustomComm&) { order.push_back("cts"); };
  Port.OnDsr = [&](TCustomComm&) { order.push_back("dsr"); };
  Port.OnError = [&](TCustomComm&, int) { order.push_back("error"); };
  Port.OnRing = [&](TCustomComm&) { order.push_back("ring"); };
  Port.OnRlsd = [&](TCustomComm&) { order.push_back("rlsd"); };
  Port.OnRxChar = [&](TCustomComm&, int n) { order.push_back("rx" + std::to_string(n)); };
  Port.OnRxFlag = [&](TCustomComm&) { order.push_back("rxflag"); };
  Port.OnTxEmpty = [&](TCustomComm&) { order.push_back("txempty"); };
  // No watcher events of its own: the dispatcher is driven by hand.
  Port.SetMonitorEvents({});
  Port.Open();
  Port.DispatchEvents(kAllCommEvents);  // nothing waiting: no OnRxChar
  EXPECT_EQ(order, (std::vector<std::string>{"break", "cts", "dsr", "error", "ring", "rlsd",
                                             "rxflag", "txempty"}));
  order.clear();
  Line.PeerSend("abc", 3);
  Port.DispatchEvents({evTxEmpty, evRxChar, evDsr});
  EXPECT_EQ(order, (std::vector<std::string>{"dsr", "rx3", "txempty"}));
}

TEST_F(MemoryPort, CloseEndsTheWatcherWithoutACallback) {
  std::atomic<int> calls{0};
  Port.OnRxChar = [&](TCustomComm&, int) { ++calls; };
  Port.OnDsr = [&](TCustomComm&) { ++calls; };
  Port.Open();
  Port.Close();  // joins the watcher: it must wake without an event
  EXPECT_FALSE(Port.Connected());
  EXPECT_FALSE(Line.HostIsOpen());
  Line.PeerSend("late", 4);  // nobody listens any more
  Line.SetDsr(false);
  EXPECT_EQ(calls.load(), 0);
  // And the port opens again on the same line.
  Port.Open();
  EXPECT_TRUE(Line.HostIsOpen());
}

TEST_F(MemoryPort, CloseFromItsOwnCallbackDoesNotDeadlock) {
  Port.OnDsr = [&](TCustomComm& P) {
    P.Close();
    Note("closed");
  };
  Port.Open();
  Line.SetDsr(false);
  ASSERT_TRUE(WaitEvents(1));
  EXPECT_FALSE(Port.Connected());
  Port.Open();  // reaps the watcher that stopped itself
  EXPECT_TRUE(Port.Connected());
}

TEST_F(MemoryPort, WriteReachesThePeerAndTraceRecordsBothWays) {
  TTempDir dir;
  Port.SetTraceFile(dir.File("trace.txt"));
  Port.OnRxChar = [&](TCustomComm& P, int Count) {
    char buf[16];
    P.Read(buf, static_cast<size_t>(std::min(Count, 16)));
    Note("rx");
  };
  Port.Open();
  EXPECT_EQ(Port.Write("VER\r", 4), 4);
  Line.PeerSend(";>", 2);
  ASSERT_TRUE(WaitEvents(1));
  Port.Close();
  {
    std::lock_guard<std::mutex> g(Peer.Lock);
    EXPECT_EQ(Peer.Written, "VER\r");
  }
  const std::string trace = dir.Read("trace.txt");
  EXPECT_NE(trace.find(" TX VER<0D>"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" RX ;>"), std::string::npos) << trace;
}

TEST_F(MemoryPort, OneLineTakesOnePort) {
  Port.Open();
  TComm second;
  second.SetDeviceName("MEMTEST");  // registry names ignore letter case
  try {
    second.Open();
    FAIL();
  } catch (const ECommError& e) {
    EXPECT_EQ(e.Text(), "Error accessing specified device");
    EXPECT_NE(e.Detail().find("busy"), std::string::npos);
  }
}

TEST(CommDeviceNames, ComNamesMapThroughTheSettingsFile) {
  TTempDir dir;
  dir.Write("TALVEN.INI", "[Devices]\r\nCOM5=/dev/ttyUSB0\r\n");
  const std::string ini = dir.File("TALVEN.INI");
  EXPECT_EQ(ResolveDevicePath("COM5", ini), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveDevicePath("com5", ini), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveDevicePath("COM1", ini), "/dev/ttyS0");
  EXPECT_EQ(ResolveDevicePath("COM12", dir.File("missing.ini")), "/dev/ttyS11");
  EXPECT_EQ(ResolveDevicePath("/dev/pts/7", ini), "/dev/pts/7");
  EXPECT_EQ(ResolveDevicePath("COM", ini), "COM");
  EXPECT_EQ(ResolveDevicePath("COM1x", ini), "COM1x");
}

TEST(CommDeviceNames, FailureWordsAUserCanActOn) {
  EXPECT_NE(OpenFailureDetail("/dev/ttyS0", ENOENT).find("/dev/ttyS0: no such device"),
            std::string::npos);
  EXPECT_NE(OpenFailureDetail("/dev/ttyS0", EACCES).find("dialout"), std::string::npos);
  EXPECT_NE(OpenFailureDetail("/dev/ttyS0", EBUSY).find("busy"), std::string::npos);
  // Permission denied names the group that owns the device and the command that joins it.
  TTempDir d;
  d.Write("tty", "");
  const struct group* g = ::getgrgid(::getgid());
  const std::string expected = ::getgid() != 0 && g ? g->gr_name : "dialout";
  EXPECT_NE(OpenFailureDetail(d.File("tty"), EACCES).find("sudo usermod -aG " + expected + " $USER"),
            std::string::npos)
      << OpenFailureDetail(d.File("tty"), EACCES);
}

}  // namespace
