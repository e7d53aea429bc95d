#include "StartArgs.h"

#include "Text.h"

const char kStartUsage[] =
    "Usage: kxta-config [--demo] [dump] [FILE.ta]\n"
    "       kxta-config [--demo] --autorun read [--quit [--measure FILE]] [--screenshot FILE]\n"
    "Programs a Panasonic KX-TA308, KX-TA616 or KX-TA624 PBX: the desktop program.\n"
    "\n"
    "  FILE.ta            open this data file\n"
    "  dump               as the first word: show Actions, Store dump\n"
    "  --demo             connect to a built-in simulated KX-TA624 instead of a serial port\n"
    "  --autorun read     connect and read everything once the window is up (for scripts)\n"
    "  --quit             then say goodbye to the PBX and quit; messages go to standard error\n"
    "                     and every question is answered No\n"
    "  --measure FILE     with --quit: write the time, CPU and traffic of each step\n"
    "  --screenshot FILE  then save the window as a picture and quit\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "Qt's own options (-platform, -style, ...) are taken as well. A FILE.ta beginning with \"-\"\n"
    "follows \"--\".\n";

namespace {

bool IsHelp(const std::string& A) { return A == "--help" || A == "-h"; }

}  // namespace

bool AsksHelpOrVersion(int Argc, char** Argv) {
  for (int i = 1; i < Argc; ++i) {
    const std::string a = Argv[i];
    if (a == "--") return false;
    if (IsHelp(a) || a == "--version") return true;
  }
  return false;
}

TStartArgs ParseStartArgs(const std::vector<std::string>& Args) {
  TStartArgs r;
  bool measureGiven = false, wordSeen = false, optionsEnd = false;
  for (size_t i = 0; i < Args.size() && r.Error.empty(); ++i) {
    std::string a = Args[i];
    if (!optionsEnd && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        optionsEnd = true;
        continue;
      }
      std::string value;
      bool hasValue = false;
      if (const size_t eq = a.find('='); a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
        value = a.substr(eq + 1);
        a.erase(eq);
        hasValue = true;
      }
      // The value of an option that takes one: "--opt=value" or the next word.
      const auto take = [&](std::string& Out) {
        if (!hasValue && i + 1 < Args.size()) {
          value = Args[++i];
          hasValue = true;
        }
        Out = value;
        return hasValue;
      };
      if (IsHelp(a) && !hasValue) {
        r.Help = true;
      } else if (a == "--version" && !hasValue) {
        r.Version = true;
      } else if (a == "--demo" && !hasValue) {
        r.Demo = true;
      } else if (a == "--quit" && !hasValue) {
        r.Quit = true;
      } else if (a == "--autorun") {
        take(r.Autorun);
        if (!SameTextAscii(r.Autorun, "read")) r.Error = "--autorun knows only \"read\"";
      } else if (a == "--screenshot") {
        if (!take(r.Screenshot) || r.Screenshot.empty()) r.Error = "--screenshot needs a FILE";
      } else if (a == "--measure") {
        measureGiven = true;
        if (!take(r.Measure) || r.Measure.empty()) r.Error = "--measure needs a FILE";
      } else {
        r.Error = "unknown option " + a;
      }
      continue;
    }
    // The first word that is no option may be "dump"; any other word is the data file.
    const bool first = !wordSeen;
    wordSeen = true;
    if (first && !optionsEnd && SameTextAscii(a, "dump")) {
      r.ShowDump = true;
    } else if (r.File.empty()) {
      r.File = a;
    } else {
      r.Error = "one data file at a time: \"" + r.File + "\" and \"" + a + "\"";
    }
  }
  if (!r.Error.empty()) return r;
  if ((r.Quit || measureGiven) && r.Autorun.empty())
    r.Error = "--quit and --measure go with --autorun read";
  else if (measureGiven && !r.Quit)
    r.Error = "--measure FILE needs --quit (its last phase is the goodbye)";
  return r;
}
