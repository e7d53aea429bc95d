#include "Measure.h"

#include <sys/resource.h>

#include "Errors.h"  // Format
#include "SafeFile.h"

namespace {

uint64_t ProcessCpuMicros() {
  rusage u{};
  if (::getrusage(RUSAGE_SELF, &u) != 0) return 0;
  const auto us = [](const timeval& t) {
    return static_cast<uint64_t>(t.tv_sec) * 1000000u + static_cast<uint64_t>(t.tv_usec);
  };
  return us(u.ru_utime) + us(u.ru_stime);
}

int64_t Micros(std::chrono::steady_clock::duration D) {
  return std::chrono::duration_cast<std::chrono::microseconds>(D).count();
}

}  // namespace

TMeasureClocks TMeasureClocks::Process() {
  return {[] { return std::chrono::steady_clock::now(); }, ProcessCpuMicros};
}

TRunMeasure::TMark TRunMeasure::Now() const {
  TMark m;
  m.Time = fClocks.Wall();
  m.CpuMicros = fClocks.CpuMicros();
  m.Line = fComm.Counters();
  return m;
}

void TRunMeasure::Begin() {
  fBegun = Now();
  fOpen = true;
}

void TRunMeasure::End(const std::string& Kind, int Index, const std::string& Title, bool Ok) {
  if (!fOpen) return;
  fOpen = false;
  fPhases.push_back({Kind, Index, Title, Ok, fBegun, Now()});
}

bool TRunMeasure::Write(const std::string& Path, std::string& Error) const {
  std::string text =
      "# phase\tindex\tstart_us\twall_us\tcpu_us\tsent\treceived\texchanges\tcommands\t"
      "pause_us\tok\trx_wakeups\treply_wakeups\ttitle\n";
  const auto origin = fPhases.empty() ? std::chrono::steady_clock::time_point()
                                      : fPhases.front().From.Time;
  for (const TPhase& p : fPhases) {
    const TLineCounters& a = p.From.Line;
    const TLineCounters& b = p.To.Line;
    text += Format("%s\t%d\t%lld\t%lld\t%llu\t%llu\t%llu\t%llu\t%llu\t%llu\t%d\t%llu\t%llu\t%s\n",
                   p.Kind.c_str(), p.Index, static_cast<long long>(Micros(p.From.Time - origin)),
                   static_cast<long long>(Micros(p.To.Time - p.From.Time)),
                   static_cast<unsigned long long>(p.To.CpuMicros - p.From.CpuMicros),
                   static_cast<unsigned long long>(b.BytesSent - a.BytesSent),
                   static_cast<unsigned long long>(b.BytesReceived - a.BytesReceived),
                   static_cast<unsigned long long>(b.Exchanges - a.Exchanges),
                   static_cast<unsigned long long>(b.Commands - a.Commands),
                   static_cast<unsigned long long>(b.PauseMicros - a.PauseMicros), p.Ok ? 1 : 0,
                   static_cast<unsigned long long>(b.RxWakeups - a.RxWakeups),
                   static_cast<unsigned long long>(b.ReplyWakeups - a.ReplyWakeups),
                   p.Title.c_str());
  }
  // Through the one writer of files: a device or a pipe given as the file is refused, and an
  // older measurement stays whole until the new one is.
  std::string why;
  if (!ReplaceFileContents(Path, text, why)) {
    Error = Path + ": " + why;
    return false;
  }
  return true;
}
