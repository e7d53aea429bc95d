// The operating-system side of a serial port: the few operations the port needs from a device,
// the registry of named in-process devices, and the mapping of COM names to device paths.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "CommInt.h"

// Modem-line bits of TCommDevice::ModemLines.
enum : unsigned { kLineCts = 1, kLineDsr = 2, kLineRing = 4, kLineCd = 8 };

// Every operation raises ECommError on failure (with the system error code), except where noted.
class TCommDevice {
 public:
  virtual ~TCommDevice() = default;
  // Name for messages and traces.
  virtual std::string Name() const = 0;
  virtual void Open() = 0;
  virtual void Close() = 0;  // never raises
  virtual void Configure(const TLineSettings& Line) = 0;
  // Never blocks: what is queued, at most Count bytes; 0 when nothing is waiting.
  virtual int Read(void* Buffer, size_t Count) = 0;
  // Bytes written, or -1 when not everything went out within TimeoutMs.
  virtual int Write(const void* Buffer, size_t Count, int TimeoutMs) = 0;
  virtual void Purge() = 0;
  // Clears the error state; returns the error flags and the bytes waiting to be read.
  virtual int ClearErrors(int& InputCount) = 0;
  // False when the lines cannot be read.
  virtual bool ModemLines(unsigned& Lines) = 0;
  virtual void SetDtr(bool On) = 0;
  virtual void SetRts(bool On) = 0;
  // Blocks until one of Mask happens or Wake is called; returns what happened (empty on a wake).
  virtual TCommEventTypes WaitEvent(TCommEventTypes Mask) = 0;
  // Safe from any thread: makes a pending or the next WaitEvent return.
  virtual void Wake() = 0;
  // Why the line is gone, in words, where the device knows more than that DSR dropped (a
  // network connection closed by the server); empty otherwise.
  virtual std::string LossReason() const { return {}; }
};

using TCommDeviceFactory = std::function<std::unique_ptr<TCommDevice>()>;

// Named in-process devices ("demo", test lines). Names match without regard to letter case.
void RegisterCommDevice(const std::string& Name, TCommDeviceFactory Factory);
void UnregisterCommDevice(const std::string& Name);

// "COM5" through the [Devices] section of SettingsFile, else COMn -> /dev/ttyS(n-1); any other
// name is taken as a path.
// The device of COMn when [Devices] names none: /dev/ttyS(n-1).
std::string DefaultComDevice(int ComNo);
std::string ResolveDevicePath(const std::string& Name, const std::string& SettingsFile);

// A registered device for Name, or for what Name resolves to (settings file of the program),
// or else the terminal device at that path. Does not open it.
std::unique_ptr<TCommDevice> CreateCommDevice(const std::string& Name);

// A device that records every byte moved through Inner, with its time, into TraceFile (a new
// file readable by its owner only). While *Mask is set, bytes written are recorded as "*",
// and as many bytes read after them (their echo).
std::unique_ptr<TCommDevice> MakeTraceDevice(std::unique_ptr<TCommDevice> Inner,
                                             const std::string& TraceFile,
                                             std::shared_ptr<std::atomic<bool>> Mask = nullptr);

// Words a user can act on for a failure to open Device with errno Code.
std::string OpenFailureDetail(const std::string& Device, int Code);
