// Field splitting and the small text helpers of the core.
#include "Text.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "Errors.h"

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string s;
  if (n > 0) {
    s.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(s.data(), s.size(), fmt, ap2);
    s.resize(static_cast<size_t>(n));
  }
  va_end(ap2);
  return s;
}

int WordCount(std::string_view Text, std::string_view Delims) {
  if (Text.empty()) return 0;
  int n = 1;
  for (char c : Text)
    if (Delims.find(c) != std::string_view::npos) ++n;
  return n;
}

std::string ExtractWord(std::string_view Text, std::string_view Delims, int N) {
  if (N < 1) return std::string();
  size_t start = 0;
  for (int field = 1; field < N; ++field) {
    size_t d = Text.find_first_of(Delims, start);
    if (d == std::string_view::npos) return std::string();
    start = d + 1;
  }
  size_t end = Text.find_first_of(Delims, start);
  if (end == std::string_view::npos) end = Text.size();
  return std::string(Text.substr(start, end - start));
}

std::string TrimBlanks(std::string_view Text) {
  size_t b = 0, e = Text.size();
  while (b < e && (Text[b] == ' ' || Text[b] == '\t')) ++b;
  while (e > b && (Text[e - 1] == ' ' || Text[e - 1] == '\t')) --e;
  return std::string(Text.substr(b, e - b));
}

std::string LowerAscii(std::string_view Text) {
  std::string s(Text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool SameTextAscii(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    char a = A[i], b = B[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

int LeadingInt(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t')) ++i;
  bool neg = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
    neg = Text[i] == '-';
    ++i;
  }
  long long v = 0;
  for (; i < Text.size() && Text[i] >= '0' && Text[i] <= '9'; ++i) {
    v = v * 10 + (Text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (neg) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(v);
}

bool TryStrToInt(std::string_view Text, int& Value) {
  const std::string t = TrimBlanks(Text);
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    neg = t[i] == '-';
    ++i;
  }
  if (i >= t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  Value = static_cast<int>(v);
  return true;
}

TStringList SplitLines(std::string_view Text) {
  TStringList lines;
  size_t start = 0;
  size_t i = 0;
  while (i < Text.size()) {
    const char c = Text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(Text.substr(start, i - start));
      if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < Text.size()) lines.emplace_back(Text.substr(start));
  return lines;
}

size_t FirstUnprintable(std::string_view Text) {
  for (size_t i = 0; i < Text.size(); ++i)
    if (!PrintableAscii(Text[i])) return i;
  return std::string::npos;
}

std::string NetworkPortText(bool Telnet, const std::string& Host, const std::string& Port) {
  const bool v6 = Host.find(':') != std::string::npos;
  return std::string(Telnet ? "rfc2217://" : "tcp://") + (v6 ? "[" + Host + "]" : Host) + ":" +
         Port;
}

std::string EscapeUnprintable(std::string_view Text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(Text.size());
  for (char c : Text) {
    if (PrintableAscii(c)) {
      out += c;
      continue;
    }
    const auto b = static_cast<unsigned char>(c);
    out += '<';
    out += kHex[b >> 4];
    out += kHex[b & 15];
    out += '>';
  }
  return out;
}
