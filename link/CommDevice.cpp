// Device names, the registry of in-process devices, open-failure wording and the line trace.
#include "CommDevice.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "NetComm.h"
#include "Paths.h"
#include "PosixComm.h"
#include "SafeFile.h"
#include "SerialPorts.h"
#include "Text.h"

namespace {

std::mutex gRegistryLock;
std::map<std::string, TCommDeviceFactory>& Registry() {
  static std::map<std::string, TCommDeviceFactory> r;
  return r;
}

// "COM5" (any letter case) gives 5; anything else 0.
int ComNumber(const std::string& Name) {
  if (Name.size() < 4 || !SameTextAscii(std::string_view(Name).substr(0, 3), "com")) return 0;
  int n = 0;
  if (!TryStrToInt(std::string_view(Name).substr(3), n) || n < 1 || n > 256) return 0;
  for (size_t i = 3; i < Name.size(); ++i)
    if (Name[i] < '0' || Name[i] > '9') return 0;
  return n;
}

}  // namespace

void RegisterCommDevice(const std::string& Name, TCommDeviceFactory Factory) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  Registry()[LowerAscii(Name)] = std::move(Factory);
}

void UnregisterCommDevice(const std::string& Name) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  Registry().erase(LowerAscii(Name));
}

std::string ResolveDevicePath(const std::string& Name, const std::string& SettingsFile) {
  const int n = ComNumber(Name);
  if (n == 0) return Name;
  if (!SettingsFile.empty()) {
    const std::string mapped = ComDeviceMapping(SettingsFile, n);
    if (!mapped.empty()) return mapped;
  }
  return DefaultComDevice(n);
}

std::string DefaultComDevice(int ComNo) { return Format("/dev/ttyS%d", ComNo - 1); }

namespace {
TCommDeviceFactory Registered(const std::string& Name) {
  std::lock_guard<std::mutex> g(gRegistryLock);
  auto it = Registry().find(LowerAscii(Name));
  return it != Registry().end() ? it->second : TCommDeviceFactory();
}
}  // namespace

std::unique_ptr<TCommDevice> CreateCommDevice(const std::string& Name) {
  if (TCommDeviceFactory f = Registered(Name)) return f();
  // A COM entry of [Devices] may name a registered device too ("COM1=demo").
  const std::string path = ResolveDevicePath(Name, AppPaths().SettingsFile());
  if (TCommDeviceFactory f = Registered(path)) return f();
  // A serial server on the network, named directly or through [Devices] ("COM1=tcp://...").
  if (IsNetworkPort(path)) {
    TNetAddress a;
    std::string why;
    if (!ParseNetworkPort(path, a, why)) throw ECommError(kErrAccessDevice, -1, why);
    return MakeNetCommDevice(a);
  }
  return MakePosixCommDevice(path);
}

std::string OpenFailureDetail(const std::string& Device, int Code) {
  switch (Code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return Device +
             ": no such device. Check the port number, or map it in the [Devices] section of "
             "TALVEN.INI (for example COM1=/dev/ttyUSB0).";
    case EACCES:
    case EPERM: {
      // The group that owns the device is the one to join (dialout on Debian, uucp elsewhere).
      std::string owner = "dialout";
      struct stat st {};
      if (::stat(Device.c_str(), &st) == 0 && st.st_gid != 0)
        if (const struct group* g = ::getgrgid(st.st_gid); g && g->gr_name) owner = g->gr_name;
      return Device + ": permission denied. The device belongs to the group " + owner +
             ": join it (sudo usermod -aG " + owner + " $USER), then log out and in again.";
    }
    case EBUSY:
      return Device + ": busy. Another program is using the port; close it and try again.";
    default:
      return Device + ": " + std::strerror(Code) + ".";
  }
}

// ---- line trace ----

namespace {

class TTraceDevice final : public TCommDevice {
 public:
  TTraceDevice(std::unique_ptr<TCommDevice> Inner, const std::string& File,
               std::shared_ptr<std::atomic<bool>> Mask)
      : fInner(std::move(Inner)), fFile(OpenPrivateAppend(File)), fMask(std::move(Mask)) {
    Note("open " + fInner->Name());
  }
  ~TTraceDevice() override {
    Note("close");
    if (fFile) std::fclose(fFile);
  }

  std::string Name() const override { return fInner->Name(); }
  void Open() override { fInner->Open(); }
  void Close() override { fInner->Close(); }
  void Configure(const TLineSettings& L) override {
    Note(Format("line %u bit/s, parity %d, data %d, stop %d, flow %d", BaudRateValue(L.BaudRate),
                static_cast<int>(L.Parity), static_cast<int>(L.Databits) + 4,
                static_cast<int>(L.Stopbits), static_cast<int>(L.FlowControl)));
    fInner->Configure(L);
  }
  int Read(void* Buffer, size_t Count) override {
    const int n = fInner->Read(Buffer, Count);
    if (n > 0) {
      std::string b(static_cast<const char*>(Buffer), static_cast<size_t>(n));
      for (char& c : b)
        if (fEchoToMask.load() > 0 && c != '\r' && c != '\n') {
          c = '*';
          fEchoToMask.fetch_sub(1);
        }
      Bytes("RX", b.data(), b.size());
    }
    return n;
  }
  int Write(const void* Buffer, size_t Count, int TimeoutMs) override {
    const int n = fInner->Write(Buffer, Count, TimeoutMs);
    if (n > 0) {
      std::string b(static_cast<const char*>(Buffer), static_cast<size_t>(n));
      if (fMask && fMask->load())
        for (char& c : b)
          if (c != '\r' && c != '\n') {
            c = '*';
            fEchoToMask.fetch_add(1);
          }
      Bytes("TX", b.data(), b.size());
    }
    if (n < 0) Note("TX timed out");
    return n;
  }
  void Purge() override { fInner->Purge(); }
  int ClearErrors(int& InputCount) override { return fInner->ClearErrors(InputCount); }
  bool ModemLines(unsigned& Lines) override { return fInner->ModemLines(Lines); }
  void SetDtr(bool On) override {
    Note(On ? "DTR on" : "DTR off");
    fInner->SetDtr(On);
  }
  void SetRts(bool On) override {
    Note(On ? "RTS on" : "RTS off");
    fInner->SetRts(On);
  }
  TCommEventTypes WaitEvent(TCommEventTypes Mask) override {
    const TCommEventTypes e = fInner->WaitEvent(Mask);
    const TCommEventTypes lines = e & TCommEventTypes{evCts, evDsr, evRing, evRlsd, evBreak};
    if (!lines.Empty()) {
      unsigned l = 0;
      fInner->ModemLines(l);
      Note(Format("lines changed: CTS %d DSR %d RING %d CD %d", (l & kLineCts) ? 1 : 0,
                  (l & kLineDsr) ? 1 : 0, (l & kLineRing) ? 1 : 0, (l & kLineCd) ? 1 : 0));
    }
    return e;
  }
  void Wake() override { fInner->Wake(); }
  std::string LossReason() const override { return fInner->LossReason(); }

 private:
  std::string Stamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const time_t t = system_clock::to_time_t(now);
    const int ms =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm tmv {};
    localtime_r(&t, &tmv);
    char buf[32];
    std::strftime(buf, sizeof buf, "%H:%M:%S", &tmv);
    return Format("%s.%03d", buf, ms);
  }
  void Note(const std::string& Text) {
    std::lock_guard<std::mutex> g(fLock);
    if (!fFile) return;
    std::fprintf(fFile, "%s -- %s\n", Stamp().c_str(), Text.c_str());
    std::fflush(fFile);
  }
  // Printable bytes as they are, the rest as <hex>, so the line ends of the dialogue show.
  void Bytes(const char* Dir, const char* Data, size_t Count) {
    std::string text;
    for (size_t i = 0; i < Count; ++i) {
      const unsigned char c = static_cast<unsigned char>(Data[i]);
      if (c >= 32 && c < 127 && c != '<')
        text += static_cast<char>(c);
      else
        text += Format("<%02X>", c);
    }
    std::lock_guard<std::mutex> g(fLock);
    if (!fFile) return;
    std::fprintf(fFile, "%s %s %s\n", Stamp().c_str(), Dir, text.c_str());
    std::fflush(fFile);
  }

  std::unique_ptr<TCommDevice> fInner;
  std::mutex fLock;
  FILE* fFile;
  std::shared_ptr<std::atomic<bool>> fMask;
  std::atomic<size_t> fEchoToMask{0};  // masked bytes written whose echo is still to come
};

}  // namespace

std::unique_ptr<TCommDevice> MakeTraceDevice(std::unique_ptr<TCommDevice> Inner,
                                             const std::string& TraceFile,
                                             std::shared_ptr<std::atomic<bool>> Mask) {
  return std::make_unique<TTraceDevice>(std::move(Inner), TraceFile, std::move(Mask));
}
