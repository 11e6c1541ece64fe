// Rest register lines, the read and write loops and the list's file, against
// a small register fake and against the virtual cash register.
#include "untRestReg.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <unistd.h>

#include "EcrTestSupport.h"
#include "untError.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

// Registers 0 .. Values.size()-1; a number beyond them is refused with 129.
class TRegisterFake : public TDriver {
 public:
  std::vector<int32_t> Values;
  std::vector<std::pair<int32_t, int32_t>> Writes;  // number, value
  int Calls = 0;
  int32_t RefuseWriteOf = -1;  // a register whose write is refused
  int ThrowAtCall = -1;        // the call (from 1) that raises instead

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override {
    if (id == dispid::RegisterNumber) FNumber = v.Int();
    if (id == dispid::RestRegister) FValue = v.Int();
  }
  TVariant GetById(int32_t id) override {
    return TVariant::FromInt(id == dispid::RestRegister ? FValue : FNumber);
  }
  int32_t CallById(int32_t id) override {
    if (++Calls == ThrowAtCall) throw EOleError(kDispEMemberNotFound, L"Связь с объектом потеряна");
    if (FNumber < 0 || FNumber >= static_cast<int32_t>(Values.size())) return 129;
    if (id == dispid::GetRestRegister) {
      FValue = Values[static_cast<size_t>(FNumber)];
      return 0;
    }
    if (FNumber == RefuseWriteOf) return 7;
    Values[static_cast<size_t>(FNumber)] = FValue;
    Writes.emplace_back(FNumber, FValue);
    return 0;
  }

 private:
  int32_t FNumber = 0;
  int32_t FValue = 0;
};

// Ticks that move on by one at every reading, so every register is a new tick.
struct TTickingHooks {
  uint32_t Now = 0;
  int Events = 0;
  std::vector<std::pair<int, int64_t>> Progress;
  std::function<void()> OnEvents;

  TRestLoopHooks Hooks() {
    TRestLoopHooks h;
    h.Ticks = [this] { return Now++; };
    h.ProcessEvents = [this] {
      ++Events;
      if (OnEvents) OnEvents();
    };
    h.Progress = [this](int steps, int64_t counter) { Progress.emplace_back(steps, counter); };
    return h;
  }
};

std::vector<std::wstring> ReadAll(TDriver& d, const TRestRange& range, const TRestLoopHooks& hooks, bool& stop) {
  std::vector<std::wstring> lines;
  ReadRestRegisters(d, range, hooks, stop, [&](const std::vector<std::wstring>& batch) {
    lines.insert(lines.end(), batch.begin(), batch.end());
  });
  return lines;
}

TRestRange Range(int32_t first, int32_t last) { return {false, first, last}; }

TLineSource Source(const std::vector<std::wstring>& lines) {
  return [&lines](int i) -> std::optional<std::wstring> {
    if (i < 0 || i >= static_cast<int>(lines.size())) return std::nullopt;
    return lines[static_cast<size_t>(i)];
  };
}

std::wstring ConvertErrorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return L"(no error)";
}

}  // namespace

// ---------------------------------------------------------------- lines

TEST(RestRegLine, ValuesReadAsExactThousandthsAndBack) {
  const std::pair<int32_t, const wchar_t*> cases[] = {
      {0, L"0"},          {2000, L"2"},         {12345, L"12.345"},
      {5, L"0.005"},      {-1500, L"-1.5"},     {-7, L"-0.007"},
      {1010, L"1.01"},    {-1000, L"-1"},       {INT_MAX, L"2147483.647"},
      {INT_MIN, L"-2147483.648"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(RestValueText(value), text);
    EXPECT_EQ(RestValueFromText(text), value) << text;
  }
  for (int32_t v = -2100; v <= 2100; ++v) ASSERT_EQ(RestValueFromText(RestValueText(v)), v);
}

TEST(RestRegLine, TextsWriteTheirThousandthsTruncatedTowardZero) {
  const std::pair<const wchar_t*, int32_t> cases[] = {
      {L"1.2345", 1234},   {L"-0.0015", -1}, {L"7", 7000},          {L"  7 ", 7000},
      {L"+2", 2000},       {L"5.", 5000},    {L".5", 500},          {L"-0", 0},
      {L"0.0009", 0},      {L"1e3", 1000000}, {L"1.5E-2", 15},      {L"000012.3450", 12345},
      {L"1e-999999999", 0}, {L"0e999999999", 0}};
  for (const auto& [text, value] : cases) EXPECT_EQ(RestValueFromText(text), value) << text;
}

TEST(RestRegLine, WhatIsNoNumberOrTooBigNamesTheText) {
  for (const wchar_t* text : {L"", L"abc", L"7 кг", L"1,5", L"1e", L"--1", L"1.2.3", L"."}) {
    const std::wstring message = ConvertErrorOf([&] { RestValueFromText(text); });
    EXPECT_NE(message.find(L"\"" + std::wstring(text) + L"\""), std::wstring::npos) << message;
  }
  for (const wchar_t* text : {L"2147483.648", L"-2147483.649", L"3000000", L"1e10"})
    EXPECT_NE(ConvertErrorOf([&] { RestValueFromText(text); }).find(L"диапазон"), std::wstring::npos) << text;
}

TEST(RestRegLine, NumberRunsUpToTheSeparatorFromFourDigitsOn) {
  EXPECT_EQ(RestRegisterLine(1, 12345), L"0001: 12.345");
  EXPECT_EQ(RestRegisterLine(10000, 1500), L"10000: 1.5");
  const std::tuple<const wchar_t*, int32_t, int32_t> cases[] = {
      {L"0003: 7", 3, 7000},         {L"0001: 12.345", 1, 12345}, {L"10000: 1.5", 10000, 1500},
      {L"123456: -2", 123456, -2000}, {L"0003  7", 3, 7000},       {L"00003: 1", 3, 1000}};
  for (const auto& [line, number, value] : cases) {
    const TRestRegister r = ParseRestRegisterLine(line);
    EXPECT_EQ(r.Number, number) << line;
    EXPECT_EQ(r.Value, value) << line;
  }
  EXPECT_NE(ConvertErrorOf([] { ParseRestRegisterLine(L"12: 5"); }).find(L"\"12: \""), std::wstring::npos);
  EXPECT_NE(ConvertErrorOf([] { ParseRestRegisterLine(L"0003: 7 кг"); }).find(L"\"7 кг\""), std::wstring::npos);
  EXPECT_NE(ConvertErrorOf([] { ParseRestRegisterLine(L""); }).find(L"\"\""), std::wstring::npos);
}

TEST(RestRegLine, RangeTextsAreConvertedOrNamed) {
  EXPECT_TRUE(RestReadRange(true, L"x", L"y").All);
  const TRestRange r = RestReadRange(false, L"5", L"3");
  EXPECT_FALSE(r.All);
  EXPECT_EQ(r.First, 5);
  EXPECT_EQ(r.Last, 3);
  EXPECT_NE(ConvertErrorOf([] { RestReadRange(false, L"0", L"1O"); }).find(L"\"1O\""), std::wstring::npos);
}

// ---------------------------------------------------------------- reading

TEST(RestRegRead, AllReadsUpToTheFirstRefusalWithoutAnError) {
  TRegisterFake d;
  d.Values = {0, 2000, 12345, 5, -1500};
  TTickingHooks t;
  bool stop = true;  // left over from an earlier run
  const auto lines = ReadAll(d, {}, t.Hooks(), stop);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"0000: 0", L"0001: 2", L"0002: 12.345", L"0003: 0.005", L"0004: -1.5"}));
  ASSERT_FALSE(t.Progress.empty());
  EXPECT_EQ(t.Progress.back(), (std::pair<int, int64_t>{5, 5}));
}

TEST(RestRegRead, RangeIsTestedAfterEachRegister) {
  TRegisterFake d;
  d.Values.assign(10, 1000);
  TTickingHooks t;
  bool stop = false;
  EXPECT_EQ(ReadAll(d, Range(5, 3), t.Hooks(), stop), std::vector<std::wstring>{L"0005: 1"});
  EXPECT_EQ(ReadAll(d, Range(2, 4), t.Hooks(), stop).size(), 3u);
  EXPECT_EQ(ReadAll(d, Range(8, 20), t.Hooks(), stop).size(), 2u);  // refused at 10
  EXPECT_TRUE(ReadAll(d, Range(10, 20), t.Hooks(), stop).empty());
}

TEST(RestRegRead, StopEndsAfterTheRegisterUnderWay) {
  TRegisterFake d;
  d.Values.assign(50, 0);
  TTickingHooks t;
  bool stop = false;
  t.OnEvents = [&] {
    if (t.Events == 3) stop = true;
  };
  EXPECT_EQ(ReadAll(d, {}, t.Hooks(), stop).size(), 3u);
  EXPECT_EQ(d.Calls, 3);
}

TEST(RestRegRead, WithinOneTickEventsWaitAndLinesComeInOneBatch) {
  TRegisterFake d;
  d.Values.assign(1000, 0);
  uint32_t now = 0;
  int events = 0, progress = 0;
  std::vector<size_t> batches;
  TRestLoopHooks h;
  h.Ticks = [&] { return now; };
  h.ProcessEvents = [&] { ++events; };
  h.Progress = [&](int, int64_t) { ++progress; };
  bool stop = false;
  int read = ReadRestRegisters(d, {}, h, stop, [&](const std::vector<std::wstring>& b) { batches.push_back(b.size()); });
  EXPECT_EQ(read, 1000);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(progress, 1);  // the last one
  EXPECT_EQ(batches, std::vector<size_t>{1000});
}

TEST(RestRegRead, AnErrorKeepsTheLinesReadBeforeIt) {
  TRegisterFake d;
  d.Values.assign(10, 3);
  d.ThrowAtCall = 4;
  std::vector<std::wstring> lines;
  TRestLoopHooks h;
  h.Ticks = [] { return 0u; };
  bool stop = false;
  EXPECT_THROW(ReadRestRegisters(d, {}, h, stop,
                                 [&](const std::vector<std::wstring>& b) { lines.insert(lines.end(), b.begin(), b.end()); }),
               EOleError);
  EXPECT_EQ(lines.size(), 3u);
}

// ---------------------------------------------------------------- writing

TEST(RestRegWrite, LinesWriteBackTheValuesTheyWereReadFrom) {
  TRegisterFake d;
  d.Values = {0, 2000, 12345, 5, -1500};
  TTickingHooks t;
  bool stop = false;
  auto lines = ReadAll(d, {}, t.Hooks(), stop);
  d.Values.assign(5, 99);
  EXPECT_EQ(WriteRestRegisters(d, static_cast<int>(lines.size()), Source(lines), t.Hooks(), stop), 5);
  EXPECT_EQ(d.Values, (std::vector<int32_t>{0, 2000, 12345, 5, -1500}));
  lines = {L"0003: 7", L"0001: 1.2345", L"0002: -0.0015"};
  EXPECT_EQ(WriteRestRegisters(d, 3, Source(lines), t.Hooks(), stop), 3);
  EXPECT_EQ(d.Values, (std::vector<int32_t>{0, 1234, -1, 7000, -1500}));
}

TEST(RestRegWrite, EmptyListWritesNothing) {
  TRegisterFake d;
  d.Values.assign(3, 1);
  TTickingHooks t;
  bool stop = false;
  std::vector<std::wstring> none;
  EXPECT_EQ(WriteRestRegisters(d, 0, Source(none), t.Hooks(), stop), 0);
  EXPECT_EQ(d.Calls, 0);
}

TEST(RestRegWrite, RefusalEndsSilentlyBadLineWithAnErrorAfterTheOnesBefore) {
  TRegisterFake d;
  d.Values.assign(5, 0);
  d.RefuseWriteOf = 2;
  TTickingHooks t;
  bool stop = false;
  std::vector<std::wstring> lines = {L"0000: 1", L"0001: 2", L"0002: 3", L"0003: 4"};
  EXPECT_EQ(WriteRestRegisters(d, 4, Source(lines), t.Hooks(), stop), 2);
  d.RefuseWriteOf = -1;
  d.Writes.clear();
  lines = {L"0000: 1", L"0001: 2", L"0002: x", L"0003: 4"};
  EXPECT_NE(ConvertErrorOf([&] { WriteRestRegisters(d, 4, Source(lines), t.Hooks(), stop); }).find(L"\"x\""),
            std::wstring::npos);
  EXPECT_EQ(d.Writes.size(), 2u);
}

TEST(RestRegWrite, LineThatVanishedIsNotReadPastTheList) {
  TRegisterFake d;
  d.Values.assign(5, 0);
  TTickingHooks t;
  std::vector<std::wstring> lines = {L"0000: 1", L"0001: 2", L"0002: 3", L"0003: 4"};
  t.OnEvents = [&] {
    if (t.Events == 2) lines.resize(2);  // the user deleted lines meanwhile
  };
  bool stop = false;
  try {
    WriteRestRegisters(d, 4, Source(lines), t.Hooks(), stop);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError&) {
    ADD_FAILURE() << "a vanished line is no conversion error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(L"3"), std::wstring::npos);
  }
  EXPECT_EQ(d.Writes.size(), 2u);
}

TEST(RestRegWrite, StopEndsAfterTheRegisterBeingWritten) {
  TRegisterFake d;
  d.Values.assign(5, 0);
  TTickingHooks t;
  bool stop = false;
  t.OnEvents = [&] { stop = true; };
  std::vector<std::wstring> lines = {L"0000: 1", L"0001: 2", L"0002: 3"};
  EXPECT_EQ(WriteRestRegisters(d, 3, Source(lines), t.Hooks(), stop), 1);
  EXPECT_EQ(d.Writes, (std::vector<std::pair<int32_t, int32_t>>{{0, 1000}}));
  EXPECT_EQ(t.Progress.back(), (std::pair<int, int64_t>{1, 1}));
}

class RestRegDevice : public TEcrTest {};

TEST_F(RestRegDevice, ReadsEveryRegisterAndWritesAnEditedLineBack) {
  TTickingHooks t;
  bool stop = false;
  auto lines = ReadAll(*Drv, {}, t.Hooks(), stop);
  ASSERT_EQ(lines.size(), static_cast<size_t>(ecr::kRestRegisterCount));
  EXPECT_EQ(lines[1], L"0001: 12.345");
  lines[3] = L"0003: 7";
  EXPECT_EQ(WriteRestRegisters(*Drv, static_cast<int>(lines.size()), Source(lines), t.Hooks(), stop),
            ecr::kRestRegisterCount);
  Drv->set_RegisterNumber(3);
  ASSERT_EQ(Drv->GetRestRegister(), 0);
  EXPECT_EQ(Drv->get_RestRegister(), 7000);
  EXPECT_EQ(ReadAll(*Drv, Range(5, 3), t.Hooks(), stop).size(), 1u);
}

// ---------------------------------------------------------------- text and files

TEST(RestRegText, SplitAndJoinKeepTheLinesOfAnEditControl) {
  const std::pair<const wchar_t*, std::vector<std::wstring>> cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\r\n", {L"a"}},
      {L"a\r\nb", {L"a", L"b"}},
      {L"a\r\n\r\nb\r\n", {L"a", L"", L"b"}},
      {L"\r\n", {L""}},
      {L"a\nb\rc\r\n", {L"a", L"b", L"c"}},
      {L"a\r\n\r\n", {L"a", L""}}};
  for (const auto& [text, lines] : cases) {
    EXPECT_EQ(SplitLines(text), lines) << text;
    EXPECT_EQ(SplitLines(JoinLines(lines)), lines) << text;
  }
  EXPECT_EQ(JoinLines({L"a", L"b"}), L"a\r\nb\r\n");
}

TEST(RestRegText, ProgressStartsOverPastItsMaximum) {
  EXPECT_EQ(ProgressPosition(0, 1000), 0);
  EXPECT_EQ(ProgressPosition(1000, 1000), 1000);
  EXPECT_EQ(ProgressPosition(1001, 1000), 0);
  EXPECT_EQ(ProgressPosition(1003, 1000), 2);
  EXPECT_EQ(ProgressPosition(5, 0), 0);
}

class RestRegFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    FDir = fs::temp_directory_path() / ("plover_rest_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(FDir / "РегистрыОстатков.txt", fs::perms::owner_all, ec);
    fs::remove_all(FDir, ec);
  }
  std::wstring Name(const char* leaf = "РегистрыОстатков.txt") const { return Utf8ToWide((FDir / leaf).string()); }
  std::string Bytes(const std::wstring& name) const {
    std::ifstream in(WideToUtf8(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void Put(const std::wstring& name, const std::string& bytes) const {
    std::ofstream(WideToUtf8(name), std::ios::binary) << bytes;
  }
  size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(FDir), fs::directory_iterator())); }
  fs::path FDir;
};

TEST_F(RestRegFile, SavedLinesLoadBackTheSameInTheAnsiCodePageWithCrLf) {
  const std::vector<std::wstring> lines = {L"0000: 0", L"0001: 12.345", L"", L"0003: 7 кг", L"10000: -1.5"};
  SaveRestRegisterFile(Name(), lines);
  EXPECT_EQ(Bytes(Name()), "0000: 0\r\n0001: 12.345\r\n\r\n0003: 7 " + WideToAnsi(L"кг") + "\r\n10000: -1.5\r\n");
  EXPECT_EQ(LoadRestRegisterFile(Name()), lines);
  EXPECT_EQ(Entries(), 1u);  // no temporary file left behind
  SaveRestRegisterFile(Name(), {});
  EXPECT_EQ(Bytes(Name()), "");
  EXPECT_TRUE(LoadRestRegisterFile(Name()).empty());
}

TEST_F(RestRegFile, LoadTakesAnyLineEndAndALastLineWithout) {
  Put(Name(), "0001: 1\n0002: 2\r0003: 3\r\n0004: 4");
  EXPECT_EQ(LoadRestRegisterFile(Name()), (std::vector<std::wstring>{L"0001: 1", L"0002: 2", L"0003: 3", L"0004: 4"}));
}

TEST_F(RestRegFile, FilesThatCannotBeReadRaiseTheFileError) {
  for (const std::wstring& name : {Name("missing.txt"), Utf8ToWide(FDir.string())}) {
    try {
      LoadRestRegisterFile(name);
      ADD_FAILURE() << WideToUtf8(name);
    } catch (const EInOutError& e) {
      EXPECT_NE(e.Message().find(L"Ошибка чтения файла"), std::wstring::npos);
      EXPECT_NE(e.Message().find(name), std::wstring::npos);
    }
  }
}

TEST_F(RestRegFile, AFailedSaveLeavesTheOldFileWhole) {
  Put(Name(), "0001: 1\r\n");
  // A directory where the new file should go: the rename fails.
  fs::create_directories(FDir / "busy.txt" / "inside");
  EXPECT_THROW(SaveRestRegisterFile(Name("busy.txt"), {L"0001: 2"}), EInOutError);
  EXPECT_TRUE(fs::is_directory(FDir / "busy.txt" / "inside"));
  EXPECT_THROW(SaveRestRegisterFile(Name("no/such/dir.txt"), {L"0001: 2"}), EInOutError);
  // A write-protected file is refused and keeps its content.
  fs::permissions(FDir / "РегистрыОстатков.txt", fs::perms::owner_read);
  try {
    SaveRestRegisterFile(Name(), {L"0001: 2"});
    ADD_FAILURE() << "saved over a read-only file";
  } catch (const EInOutError& e) {
    EXPECT_NE(e.Message().find(L"Ошибка записи файла"), std::wstring::npos);
  }
  EXPECT_EQ(Bytes(Name()), "0001: 1\r\n");
  EXPECT_EQ(Entries(), 2u);  // the old file and the directory, no temporary file
}

TEST_F(RestRegFile, SaveReplacesAnOldLongerFileWhole) {
  Put(Name(), std::string(100000, 'x'));
  SaveRestRegisterFile(Name(), {L"0001: 1"});
  EXPECT_EQ(Bytes(Name()), "0001: 1\r\n");
}

// A line holding a line break is saved as the lines it shows: the file's
// structure never depends on the text, and it reads back the same each time.
TEST_F(RestRegFile, LineBreaksInsideALineBecomeLinesOfTheirOwn) {
  SaveRestRegisterFile(Name(), {L"0001: 1\r0002: 2", L"0003: 3\n[x]"});
  const auto lines = LoadRestRegisterFile(Name());
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"0001: 1", L"0002: 2", L"0003: 3", L"[x]"}));
  const std::string first = Bytes(Name());
  SaveRestRegisterFile(Name(), lines);
  EXPECT_EQ(Bytes(Name()), first);
}
