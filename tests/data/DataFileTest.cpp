#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "DataFile.h"
#include "DateTime.h"
#include "Groups.h"
#include "Paths.h"
#include "StoreTestUtil.h"
#include "Stream.h"
#include "SysData.h"
#include "support/RecordingFeedback.h"
#include "support/TempDir.h"

namespace {

std::string Le32(int32_t V) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<uint32_t>(V) >> (8 * i)) & 0xff);
  return s;
}

void Put32(std::string& Bytes, size_t At, int32_t V) { Bytes.replace(At, 4, Le32(V)); }

std::string Header(bool Packed, int32_t Singles = 320, int32_t Lists = 124) {
  return Le32(0x20011111) + "1.00" + std::string(1, Packed ? '\1' : '\0') + Le32(17) +
         Le32(Singles) + Le32(Lists);
}

const std::string kEmpty = Le32(0);
constexpr size_t kJackRecords = 24 * (22 + 2) * 4;
constexpr size_t kExtEmpty = kJackRecords + 8 + 15 * 4;
constexpr size_t kCOEmpty = 6 * 20 * 4;
constexpr size_t kDSSEmpty = 2 * 4 * 4;
constexpr size_t kTablesAt = 21 + 6;
constexpr size_t kSinglesAt = kTablesAt + kExtEmpty + kCOEmpty + kDSSEmpty;  // empty tables
constexpr size_t kListsAt = kSinglesAt + 79 * 4;

std::string Repeat(const std::string& S, size_t N) {
  std::string r;
  for (size_t i = 0; i < N; ++i) r += S;
  return r;
}

std::string Record(const std::string& Text) { return Le32(static_cast<int32_t>(Text.size())) + Text; }

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store.Settings.PackedFile = false;
    file = dir.File("config.ta");
  }
  // A store filled by a full read from the model.
  void ReadAll(TSysData& S) {
    TPbxModel pbx;
    FillStorePrograms(pbx);
    ASSERT_TRUE(RunGroups(S, TRunDirection::Read).Ok);
  }
  std::string Save(TSysData& S, bool Packed) {
    S.Settings.PackedFile = Packed;
    EXPECT_TRUE(S.SaveToFile(file));
    return dir.Read("config.ta");
  }
  bool LoadBytes(TSysData& S, const std::string& Bytes) {
    // A fresh file each time: rewriting one in place makes the file system flush it to disk.
    std::filesystem::remove(dir.File("input.ta"));
    dir.Write("input.ta", Bytes);
    return S.LoadFromFile(dir.File("input.ta"));
  }
  // Loading Bytes must fail with a message that names the file and says Why, and leave the
  // store exactly as it was.
  void ExpectRefused(const std::string& Bytes, const std::string& Why, const std::string& Image) {
    feedback.Errors.clear();
    EXPECT_FALSE(LoadBytes(target, Bytes));
    ASSERT_EQ(feedback.Errors.size(), 1u);
    EXPECT_NE(feedback.Errors[0].find(dir.File("input.ta")), std::string::npos)
        << feedback.Errors[0];
    EXPECT_NE(feedback.Errors[0].find(Why), std::string::npos) << feedback.Errors[0];
    EXPECT_EQ(StoreImage(target), Image);
  }
  // A target store with contents of its own, so that "untouched" means something.
  void PrepareTarget() {
    target.Cmd006S.SetData("006S/1/");
    target.List001S.Add().SetData("001S00/555/");
    target.Extensions.Jacks(3).Block(TExtensionData::e604E).SetData("604E03/Boss/");
    target.Version.ExtendedSpeedDial = 0;
    target.HaveFileData = true;
  }

  TRecordingFeedback feedback;
  TTempDir dir;
  std::string file;
  TSysData store;
  TSysData target;
};

TEST_F(DataFileTest, EmptyStoreFileByteForByte) {
  const std::string bytes = Save(store, false);
  const std::string expected = Header(false) + Le32(2) + "\1\1" + Repeat(kEmpty, kExtEmpty / 4) +
                               Repeat(kEmpty, kCOEmpty / 4) + Repeat(kEmpty, kDSSEmpty / 4) +
                               Repeat(kEmpty, 79) + Repeat(kEmpty, 30);
  EXPECT_EQ(bytes.size(), expected.size());
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x11\x11\x01\x20", 4));
}

TEST_F(DataFileTest, RecordsSitInCatalogueOrder) {
  store.Cmd006S.SetData("006S/1/");
  store.Cmd127S.SetData("127S/00000 0000/");
  store.List001S.Add().SetData("001S00/123/");
  store.List012S.Add().SetData("012S01/^/");
  store.List012S.Add().SetData("012S02/7/");
  store.Version.Skip123S = 0;
  const std::string bytes = Save(store, false);
  EXPECT_EQ(bytes.substr(21, 6), Le32(2) + "\1" + std::string(1, '\0'));
  EXPECT_EQ(bytes.substr(kSinglesAt, 11), Record("006S/1/"));
  const size_t last = kSinglesAt + 11 + 77 * 4;
  EXPECT_EQ(bytes.substr(last, 20), Record("127S/00000 0000/"));
  const size_t lists = last + 20;
  EXPECT_EQ(bytes.substr(lists, 19), Le32(1) + Record("001S00/123/"));
  EXPECT_EQ(bytes.substr(bytes.size() - 30), Le32(2) + Record("012S01/^/") + Record("012S02/7/"));
}

TEST_F(DataFileTest, RoundTripKeepsEverythingAndMarksItChangedAndActual) {
  ReadAll(store);
  const std::string first = Save(store, false);
  EXPECT_EQ(Save(store, false), first);  // repeated saves are byte-identical
  ASSERT_TRUE(target.LoadFromFile(file));
  EXPECT_TRUE(target.HaveFileData);
  EXPECT_EQ(Save(target, false), first);

  // Actual for ever, also after the next connection, and every block waits for upload.
  TPbxModel later;
  FillStorePrograms(later);
  later.SetConnectTime(Now());
  EXPECT_EQ(target.Cmd530S.ReadTime, 999999.0);
  EXPECT_TRUE(target.Cmd530S.Changed);
  EXPECT_TRUE(GroupHasData(target, grDISA));
  EXPECT_TRUE(target.Extensions.HasActualData());
  EXPECT_EQ(GroupChangedCount(target, grDISA), 17 + 4 * 2);
  EXPECT_EQ(GroupChangedCount(target, grUCD), 7);
  EXPECT_EQ(GroupChangedCount(target, grARS), 3 + 12 * 2);
  EXPECT_EQ(target.COLines.ChangedCount(), 120);
  // A loaded file uploads completely with an upload of the changes.
  const TRunResult r = RunGroups(target, TRunDirection::UploadChanged);
  EXPECT_TRUE(r.Ok);
  EXPECT_EQ(std::count(later.Sent.begin(), later.Sent.end(), "530S/3/"), 1);
  // Nothing is left: the file's plan block is no edit (it is what the read derived from the
  // numbers), and every other block went out.
  for (const TGroup& g : Groups()) EXPECT_EQ(GroupChangedCount(target, g.Id), 0) << g.Title;
  EXPECT_TRUE(target.Extensions.Cmd009.PlanBlock.Data().empty());
}

TEST_F(DataFileTest, PackedFilesRoundTripAndTheHeaderAloneDecides) {
  ReadAll(store);
  const std::string plain = Save(store, false);
  const std::string packed = Save(store, true);
  EXPECT_EQ(packed.substr(0, 21), Header(true));
  EXPECT_EQ(static_cast<unsigned char>(packed[21]), 0x78);  // zlib framing
  EXPECT_EQ(static_cast<unsigned char>(packed[22]), 0x9c);  // packed at the default level
  EXPECT_LT(packed.size(), plain.size());
  EXPECT_EQ(UnpackBytes(packed.substr(21), kMaxPayloadBytes), plain.substr(21));

  target.Settings.PackedFile = false;
  ASSERT_TRUE(LoadBytes(target, packed));
  EXPECT_EQ(Save(target, false), plain);
  TSysData other;
  other.Settings.PackedFile = true;
  ASSERT_TRUE(LoadBytes(other, plain));
  EXPECT_EQ(Save(other, false), plain);
}

TEST_F(DataFileTest, EmptyBlockLoadsAsChangedButWithoutData) {
  target.Cmd103S.SetData("103S/1/");
  target.Cmd103S.Stamp();
  ASSERT_TRUE(LoadBytes(target, Save(store, false)));
  EXPECT_TRUE(target.Cmd103S.Data().empty());
  EXPECT_TRUE(target.Cmd103S.Changed);
  EXPECT_FALSE(target.Cmd103S.IsActual());
}

TEST_F(DataFileTest, SpansDecideHowManyRecordsFollow) {
  store.Cmd006S.SetData("006S/2/");
  store.Cmd500S.SetData("500S/1/");
  store.List001S.Add().SetData("001S00/123/");
  const std::string bytes = Save(store, false);
  const std::string tables = bytes.substr(21, kSinglesAt - 21);
  const std::string singles = bytes.substr(kSinglesAt, bytes.size() - 30 * 4 - 15 - kSinglesAt);
  const std::string lists = bytes.substr(kSinglesAt + singles.size());

  // Spans of 0 stand for the whole catalogue.
  PrepareTarget();
  ASSERT_TRUE(LoadBytes(target, Header(false, 0, 0) + tables + singles + lists));
  EXPECT_EQ(target.Cmd006S.Data(), "006S/2/");
  EXPECT_EQ(target.List001S.Items(0).Data(), "001S00/123/");

  // Span 4: no single block; the lists follow the tables directly. Span 8: one block.
  target.Cmd006S.SetData("006S/1/");
  target.Cmd500S.SetData("500S/9/");
  ASSERT_TRUE(LoadBytes(target, Header(false, 4) + tables + lists));
  EXPECT_EQ(target.Cmd006S.Data(), "006S/1/");
  EXPECT_EQ(target.List001S.Items(0).Data(), "001S00/123/");
  ASSERT_TRUE(LoadBytes(target, Header(false, 8, 4) + tables + Record("006S/0/")));
  EXPECT_EQ(target.Cmd006S.Data(), "006S/0/");
  EXPECT_EQ(target.Cmd500S.Data(), "500S/9/");
  EXPECT_EQ(target.List001S.Count(), 1);

  // A file of a larger catalogue: its extra records are read past, not taken for others.
  ASSERT_TRUE(LoadBytes(target, Header(false, 328, 128) + tables + singles + Record("999S/1/") +
                                    Record("998S/1/") + lists + Le32(1) + Record("997S01/1/")));
  EXPECT_EQ(target.Cmd500S.Data(), "500S/1/");
  EXPECT_EQ(target.List001S.Items(0).Data(), "001S00/123/");
  EXPECT_EQ(target.List012S.Count(), 0);
}

TEST_F(DataFileTest, CapabilityRecord) {
  std::string bytes = Save(store, false);
  const std::string rest = bytes.substr(kTablesAt);
  const auto withCaps = [&](const std::string& Caps) { return Header(false) + Caps + rest; };

  // Offline the file's flags are taken; L = 5 reads two of them and skips three.
  ASSERT_TRUE(LoadBytes(target, withCaps(Le32(5) + std::string("\0\1\1\1\1", 5))));
  EXPECT_EQ(target.Version.ExtendedSpeedDial, 0);
  EXPECT_EQ(target.Version.Skip123S, 1);
  ASSERT_TRUE(LoadBytes(target, withCaps(Le32(1) + std::string("\1", 1))));
  EXPECT_EQ(target.Version.ExtendedSpeedDial, 1);
  EXPECT_EQ(target.Version.Skip123S, 1);
  ASSERT_TRUE(LoadBytes(target, withCaps(Le32(0))));
  EXPECT_EQ(target.Version.ExtendedSpeedDial, 1);

  // Online the connected PBX's flags stay, whatever the file says.
  target.OnLine = true;
  ASSERT_TRUE(LoadBytes(target, withCaps(Le32(2) + std::string("\0\0", 2))));
  EXPECT_EQ(target.Version.ExtendedSpeedDial, 1);
  EXPECT_EQ(target.Version.Skip123S, 1);
  target.OnLine = false;
  ASSERT_TRUE(LoadBytes(target, withCaps(Le32(2) + std::string("\0\0", 2))));
  EXPECT_EQ(target.Version.Skip123S, 0);
}

TEST_F(DataFileTest, WrongHeadersAreRefusedWithTheirMessages) {
  PrepareTarget();
  const std::string image = StoreImage(target);
  std::string bytes = Save(store, false);

  std::string wrongMagic = bytes;
  wrongMagic[3] = 0x21;
  feedback.Errors.clear();
  EXPECT_FALSE(LoadBytes(target, wrongMagic));
  EXPECT_EQ(feedback.Errors, std::vector<std::string>{"It is not PANASONIC KX-TA data file!"});
  std::string wrongVersion = bytes;
  wrongVersion[7] = '1';
  feedback.Errors.clear();
  EXPECT_FALSE(LoadBytes(target, wrongVersion));
  EXPECT_EQ(feedback.Errors, std::vector<std::string>{"Data file version is wrong!"});
  EXPECT_EQ(StoreImage(target), image);

  ExpectRefused(bytes.substr(0, 20), "shorter than a data file header", image);
  ExpectRefused("", "shorter than a data file header", image);
  feedback.Errors.clear();
  EXPECT_FALSE(target.LoadFromFile(dir.File("missing.ta")));
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find("missing.ta"), std::string::npos);
  EXPECT_FALSE(target.LoadFromFile(dir.Path()));
  ASSERT_EQ(::mkfifo(dir.File("pipe.ta").c_str(), 0600), 0);
  EXPECT_FALSE(target.LoadFromFile(dir.File("pipe.ta")));  // refused, not waited on
  EXPECT_EQ(StoreImage(target), image);
}

TEST_F(DataFileTest, TruncatedFilesAreRefusedAtEveryLength) {
  store.Cmd006S.SetData("006S/1/");
  store.Cmd127S.SetData("127S/1/");
  store.List001S.Add().SetData("001S00/123/");
  store.List012S.Add().SetData("012S00/1/");
  store.Extensions.Jacks(1).BC.Add().SetData("P01BC01/4,1/");
  store.Extensions.Jacks(24).Block(TExtensionData::eBM01).SetData("P24BM01/3,/");
  store.COLines.Lines(6).Block(19).SetData("928C6/1/");
  store.DSSConsoles.Consoles(2).BF.Add().SetData("D02BF01/^/");
  PrepareTarget();
  const std::string image = StoreImage(target);

  const std::string plain = Save(store, false);
  for (size_t n = 0; n < plain.size(); ++n) {
    SCOPED_TRACE(n);
    ExpectRefused(plain.substr(0, n), n < 21 ? "shorter than a data file header" : "cut short",
                  image);
  }
  const std::string packed = Save(store, true);
  for (size_t n = 21; n < packed.size(); ++n) {
    SCOPED_TRACE(n);
    ExpectRefused(packed.substr(0, n), "packed data", image);
  }
  // Complete files still load; anything after the records is ignored.
  ASSERT_TRUE(LoadBytes(target, plain + "trailing"));
  ASSERT_TRUE(LoadBytes(target, packed + "trailing"));
}

TEST_F(DataFileTest, DamagedPackedDataAreRefused) {
  ReadAll(store);
  PrepareTarget();
  const std::string image = StoreImage(target);
  const std::string packed = Save(store, true);
  for (size_t at = 21; at < packed.size(); at += 7) {
    SCOPED_TRACE(at);
    std::string bad = packed;
    bad[at] = static_cast<char>(bad[at] ^ 0x5a);
    ExpectRefused(bad, "packed data", image);
  }
  // A small file that unpacks to more than any configuration: refused, not unpacked.
  ExpectRefused(Header(true) + PackBytes(std::string(kMaxPayloadBytes + 1, '\0')),
                "unpack to more than", image);
  ExpectRefused(Header(false) + std::string(kMaxPayloadBytes + 1, '\0'), "larger", image);
}

TEST_F(DataFileTest, HugeOrNegativeLengthsAndCountsAreRefused) {
  PrepareTarget();
  const std::string image = StoreImage(target);
  const std::string plain = Save(store, false);
  struct TCase {
    size_t At;
    int32_t Value;
    const char* Why;
  };
  const size_t bcOfJack1 = kTablesAt + 22 * 4;
  const TCase cases[] = {
      {21, 0x7fffffff, "the capability record"},
      {21, -1, "the capability record"},
      {kTablesAt, 0x7fffffff, "the extension table"},
      {kTablesAt, -5, "the extension table"},
      {bcOfJack1, 0x7fffffff, "the extension table"},
      {bcOfJack1, 0x40000000, "the extension table"},
      {kTablesAt + kExtEmpty, 1 << 30, "the CO line table"},
      {kTablesAt + kExtEmpty + kCOEmpty + 8, 0x7fffffff, "the DSS console table"},
      {kSinglesAt, 0x7fffffff, "single block 1 (Cmd006S)"},
      {kSinglesAt + 78 * 4, 100000, "single block 79 (Cmd127S)"},
      {kListsAt, 0x7fffffff, "block list 1 (List001S)"},
      {kListsAt + 29 * 4, 2, "block list 30 (List012S)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Why);
    std::string bad = plain;
    Put32(bad, c.At, c.Value);
    ExpectRefused(bad, c.Why, image);
    // The same inside a packed file.
    ExpectRefused(Header(true) + PackBytes(bad.substr(21)), c.Why, image);
  }
}

TEST_F(DataFileTest, AFailingSaveLeavesTheOldFile) {
  ReadAll(store);
  const std::string old = Save(store, false);
  store.Cmd103S.SetData("103S/0/");

  // The file system refuses to let the new file grow: the write fails part way.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 512;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  feedback.Errors.clear();
  const bool ok = store.SaveToFile(file);
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_FALSE(ok);
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find(file), std::string::npos) << feedback.Errors[0];
  EXPECT_EQ(dir.Read("config.ta"), old);
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1u);  // no temporary file left behind

  feedback.Errors.clear();
  EXPECT_FALSE(store.SaveToFile(dir.File("no-such-folder/config.ta")));
  ASSERT_EQ(feedback.Errors.size(), 1u);
  EXPECT_NE(feedback.Errors[0].find("no-such-folder/config.ta"), std::string::npos);

  // And a save that works replaces the file.
  ASSERT_TRUE(store.SaveToFile(file));
  EXPECT_NE(dir.Read("config.ta"), old);
}

TEST_F(DataFileTest, BareNamesLiveInTheDataFolder) {
  const TAppPaths saved = AppPaths();
  TAppPaths paths = saved;
  paths.DataDir = dir.Path();
  SetAppPaths(paths);
  const bool saveOk = store.SaveToFile("bare.ta");
  const bool loadOk = target.LoadFromFile("bare.ta");
  SetAppPaths(saved);
  EXPECT_TRUE(saveOk);
  EXPECT_TRUE(loadOk);
  EXPECT_TRUE(std::filesystem::exists(dir.File("bare.ta")));
}

}  // namespace
