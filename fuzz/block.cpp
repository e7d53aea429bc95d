// The block write rules on untrusted text: item, bit and item-count writes and the reads that
// go with them, driven by the input. The input's first line is the block text, the rest picks
// the operations. On any text nothing may crash; on a well-formed line (head/items/, the head
// without commas) every write must do what it says and touch nothing else.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <utility>

#include "CmdData.h"
#include "FuzzSupport.h"
#include "Text.h"

namespace {

// Takes the operations' choices from the input bytes; zeros once they run out.
class TChoices {
 public:
  explicit TChoices(std::string Bytes) : fBytes(std::move(Bytes)) {}
  size_t Left() const { return fBytes.size() - fPos; }
  int In(int Lo, int Hi) {
    uint32_t v = 0;
    for (int i = 0; i < 4 && Left(); ++i) v = v << 8 | static_cast<uint8_t>(fBytes[fPos++]);
    return Lo + static_cast<int>(v % static_cast<uint32_t>(Hi - Lo + 1));
  }
  int Any() {
    uint32_t v = 0;
    for (int i = 0; i < 4 && Left(); ++i) v = v << 8 | static_cast<uint8_t>(fBytes[fPos++]);
    return static_cast<int>(v);
  }
  std::string Text(size_t Max) {
    const size_t want = static_cast<size_t>(In(0, static_cast<int>(Max)));  // consumes bytes
    const size_t n = std::min(Left(), want);
    std::string t = fBytes.substr(fPos, n);
    fPos += n;
    return t;
  }

 private:
  std::string fBytes;
  size_t fPos = 0;
};

bool WellFormed(const std::string& T) {
  const size_t s1 = T.find('/');
  return s1 != std::string::npos && s1 + 1 < T.size() && T.back() == '/' &&
         T.find('/', s1 + 1) == T.size() - 1 && T.find(',') > s1;
}

std::string Items(const std::string& T) { return ExtractWord(T, "/", 2); }
int ItemCount(const std::string& T) { return WordCount(Items(T), ","); }
// Items a write can reach: an empty item field is one empty item.
int Slots(const std::string& T) { return std::max(1, ItemCount(T)); }
std::string Item(const std::string& T, int K) { return ExtractWord(Items(T), ",", K); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string input = AsText(Data, Size);
  const size_t nl = input.find('\n');
  const std::string text = input.substr(0, nl);
  const std::string rest = nl == std::string::npos ? std::string() : input.substr(nl + 1);
  TChoices pick(rest);

  TCmdData b;
  b.SetData(text);
  b.Changed = false;
  b.AllowUndefined = pick.In(0, 1) == 1;
  for (int step = 0; step < 32 && pick.Left() > 0; ++step) {
    const std::string before = b.Data();
    const bool wasChanged = b.Changed;
    const bool plain = WellFormed(before) && !b.AllowUndefined;
    const int item = pick.In(0, 11);
    try {
      switch (pick.In(0, 9)) {
        case 0: {
          std::string value = pick.Text(16);
          value.erase(std::remove_if(value.begin(), value.end(),
                                     [](char c) { return c == ',' || c == '/'; }),
                      value.end());
          b.SetItemStr(item, value);
          FUZZ_CHECK(item >= 1 && item <= 10, "item number not checked");
          if (!plain) break;
          if (item <= Slots(before)) {
            FUZZ_CHECK(Item(b.Data(), item) == value, before + " -> " + b.Data());
            FUZZ_CHECK(Slots(b.Data()) == Slots(before), before + " -> " + b.Data());
            for (int k = 1; k <= Slots(before); ++k)
              if (k != item) FUZZ_CHECK(Item(b.Data(), k) == Item(before, k), b.Data());
          } else {
            FUZZ_CHECK(b.Data() == before, "a write past the last item added one: " + b.Data());
          }
          FUZZ_CHECK(b.Changed == (wasChanged || b.Data() != before), b.Data());
          break;
        }
        case 1: b.SetItemInt(item, pick.Any()); break;
        case 2: b.SetItem2d(item, pick.In(-5, 120)); break;
        case 3: b.SetItemIndex(item, pick.In(-2, 20)); break;
        case 4: {
          const int bit = pick.In(0, 25);
          const int value = pick.In(-1, 10);
          b.SetBit(bit, value);
          FUZZ_CHECK(bit >= 1 && bit <= 24, "bit number not checked");
          const int itemNo = (bit - 1) / 8 + 1;
          // An item MarkDifferent marked undefined reads "???": no bits to write there.
          if (plain && itemNo <= Slots(before) && Item(before, itemNo).size() >= 9 &&
              value >= 0 && value <= 9 && !b.Undefined[size_t(itemNo - 1)])
            FUZZ_CHECK(b.Bit(bit) == value, "bit " + std::to_string(bit) + " value " + std::to_string(value) + " read " + std::to_string(b.Bit(bit)) + ": " + before + " -> " + b.Data());
          if (value < 0 || value > 9) FUZZ_CHECK(b.Data() == before, b.Data());
          break;
        }
        case 5: {
          const int n = pick.In(-2, 300);
          b.SetItemCount(n);
          if (!WellFormed(before) || Items(before).empty()) break;
          const int want = std::clamp(n, 1, 255);
          FUZZ_CHECK(Slots(b.Data()) == want, before + " -> " + b.Data());
          for (int k = 1; k <= std::min(want, ItemCount(before)); ++k)
            FUZZ_CHECK(Item(b.Data(), k) == Item(before, k), before + " -> " + b.Data());
          break;
        }
        case 6: (void)b.ItemStr(item); (void)b.ItemInt(item); (void)b.ItemIndex(item); break;
        case 7: (void)b.Bit(pick.In(0, 25)); (void)b.CheckState(); break;
        case 8: {
          TCmdData other;
          other.SetData(pick.Text(40));
          b.MarkDifferent(other, item);
          break;
        }
        case 9: {
          TCmdList list;
          list.Add().SetData(b.Data());
          const bool changed = list.Items(0).Changed;
          list.FillEmptyItems(item);
          FUZZ_CHECK(list.Items(0).Changed == changed, "FillEmptyItems changed the changed flag");
          (void)b.QueryText();
          break;
        }
      }
    } catch (const std::exception&) {
      // Only bad item and bit numbers are refused, and a refused call changes nothing.
      FUZZ_CHECK(b.Data() == before, "a refused call changed the text: " + b.Data());
    }
  }
  return 0;
}
