// The exchange journal: its lines, the file they go to (shared by processes,
// turned over when full), and what a control writes there.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "EcrTestSupport.h"
#include "untEcrFrame.h"
#include "untEcrJournal.h"
#include "untEcrJournalFile.h"
#include "untEcrResults.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"

namespace fs = std::filesystem;
using namespace ecr;

namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string EncodedFrame(const TFrame& f) {
  std::string bytes;
  EXPECT_EQ(EncodeFrame(f, bytes), kOk);
  return bytes;
}

std::vector<std::string> Lines(const std::wstring& file) {
  std::string text = ReadWholeFile(file);
  std::vector<std::string> lines;
  size_t at = 0;
  if (text.rfind(std::string(kJournalBom), 0) == 0) at = kJournalBom.size();
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size()) << "the file ends inside a line";
  return lines;
}

class JournalFile : public ::testing::Test {
 protected:
  std::wstring Name(const char* leaf = "обмен.log") const { return Utf8ToWide((FDir.Path() / leaf).string()); }
  TTestDir FDir{"plover_journal_"};
};

}  // namespace

TEST(JournalLines, EveryEventAndValueReadsAsDocumented) {
  const TJournalStamp at{2025, 1, 14, 10, 31, 7, 42, 1234};
  const std::string head = "2025-01-14 10:31:07.042  поток 1234  ";
  TFrame answer;
  answer.Dst = 1;
  answer.Src = 2;
  answer.Type = 1;
  answer.Code = 0x1A;
  answer.Seq = 5;
  answer.Params = {{dispid::CashRegister, TVariant::FromCurrency(15002500)},
                   {dispid::CommandResultCode, TVariant::FromInt(0)}};
  const std::string answerBytes = EncodedFrame(answer);
  TFrame outside;
  outside.Dst = 3;
  outside.Src = 255;
  outside.Code = 0x99;
  const std::string outsideBytes = EncodedFrame(outside);

  struct TCase {
    const char* What;
    std::string Line;
    std::string Expected;
  } cases[] = {
      {"a call without inputs", JournalCallLine(at, dispid::GetECRStatus, {}, 0, 21000),
       "GetECRStatus() = 0 (Ошибок нет)  0.021 мс"},
      {"an input, a device's code, a duration rounded to the microsecond",
       JournalCallLine(at, dispid::GetCashRegister, {{dispid::RegisterNumber, TVariant::FromInt(64)}}, 129, 1499600),
       "GetCashRegister(RegisterNumber=64) = 129 (Неверный номер регистра)  1.500 мс"},
      {"a text with what would break the line",
       JournalCallLine(at, dispid::WriteTable,
                       {{dispid::TableNumber, TVariant::FromInt(2)},
                        {dispid::FieldValue, TVariant::FromStr(L"Касса \"1\"\\\r\n\t\x01")}},
                       -12, 2000000),
       "WriteTable(TableNumber=2, FieldValue=\"Касса \\\"1\\\"\\\\\\r\\n\\t\\x01\") = -12 (Значение параметра не "
       "приводится к типу свойства)  2.000 мс"},
      {"a date, a time, a flag, a code nobody knows",
       JournalCallLine(at, dispid::SendCommand,
                       {{dispid::ECRDate, TVariant::FromDate(45671)},
                        {dispid::ECRTime, TVariant::FromDate(0.4375)},
                        {dispid::ECRSoftDate, TVariant::FromDate(45671.4375)},
                        {dispid::WaitAnswer, TVariant::FromBool(true)}},
                       77, 0),
       "SendCommand(ECRDate=14.01.2025, ECRTime=10:30:00, ECRSoftDate=14.01.2025 10:30:00, WaitAnswer=True) = 77 "
       "(Неизвестная ошибка)  0.000 мс"},
      {"the README's frame, sent",
       JournalFrameLine(at, true, L"UDP 127.0.0.1:47300",
                        Bytes({0x02, 0x0B, 0x00, 0x02, 0x01, 0x00, 0x1A, 0x05, 0x5A, 0x04, 0x02, 0x01, 0x00, 0x00, 0x4A}),
                        false),
       "отправлен  UDP 127.0.0.1:47300  1 -> 2  №5  1Ah «Запрос денежного регистра»  запрос  RegisterNumber=258  "
       "[02 0B 00 02 01 00 1A 05 5A 04 02 01 00 00 4A]"},
      {"an answer received again, with money",
       JournalFrameLine(at, false, L"в процессе", answerBytes, true),
       "получен  в процессе  2 -> 1  №5  1Ah «Запрос денежного регистра»  ответ, повтор  CashRegister=1500.25 "
       "CommandResultCode=0  [" + WideToUtf8(FrameHex(answerBytes)) + "]"},
      {"a code outside the catalogue", JournalFrameLine(at, false, L"в процессе", outsideBytes, false),
       "получен  в процессе  255 -> 3  №0  99h «нет в каталоге»  запрос  [" + WideToUtf8(FrameHex(outsideBytes)) +
           "]"},
      {"bytes that are no frame", JournalFrameLine(at, true, L"в процессе", Bytes({0x02, 0x00}), false),
       "отправлен  в процессе  кадр не разбирается  [02 00]"},
      {"a note", JournalNoteLine(at, L"пропущено строк: 5"), "=== пропущено строк: 5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Line, head + c.Expected) << c.What;

  struct TValue {
    TVariant Value;
    const char* Text;
  } values[] = {
      {TVariant::FromInt(-5), "-5"},          {TVariant::FromCurrency(10000), "1"},
      {TVariant::FromCurrency(-15), "-0.0015"}, {TVariant::FromCurrency(1234567), "123.4567"},
      {TVariant::FromDouble(0.333), "0.333"}, {TVariant::FromDouble(-2.5E20), "-2.5E20"},
      {TVariant::FromBool(false), "False"},   {TVariant::FromStr(L""), "\"\""},
      {TVariant::FromDate(0), "30.12.1899"},  {TVariant::FromDate(45671.999999999), "15.01.2025"},
  };
  for (const auto& v : values) EXPECT_EQ(JournalValueText(v.Value), v.Text);
}

// Two journals of one file stand for two processes: each appends its batches
// whole, so every line stays whole and none is lost.
TEST_F(JournalFile, WritersOfOneFileNeverMixTheirLines) {
  TJournal::TOptions options;
  options.MaxBytes = 0;
  options.WakeAt = 64;  // many small batches, so that they meet
  auto first = TJournal::CreateUnshared(Name(), options);
  auto second = TJournal::CreateUnshared(Name(), options);
  constexpr int kThreads = 4, kCalls = 3000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      TJournal& j = t % 2 ? *second : *first;
      for (int i = 0; i < kCalls; ++i)
        j.Call(dispid::WriteTable,
               {{dispid::TableNumber, TVariant::FromInt(t)}, {dispid::FieldValue, TVariant::FromStr(std::wstring(40 + i % 50, L'ж'))}},
               0, i);
    });
  for (auto& t : threads) t.join();
  first.reset();
  second.reset();

  const std::string text = ReadWholeFile(Name());
  ASSERT_EQ(text.rfind(std::string(kJournalBom), 0), 0u);
  EXPECT_EQ(text.find(std::string(kJournalBom), 1), std::string::npos);
  const std::regex call(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  поток \d+  WriteTable\(TableNumber=\d, FieldValue="(ж)+"\) = 0 \(Ошибок нет\)  0\.\d{3} мс)");
  int calls = 0, starts = 0;
  for (const auto& line : Lines(Name())) {
    if (line.find("=== начало журнала: PloverDrv ") != std::string::npos) {
      ++starts;
      continue;
    }
    ASSERT_TRUE(std::regex_match(line, call)) << line;
    ++calls;
  }
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(calls, kThreads * kCalls);
}

TEST_F(JournalFile, FullQueueDropsLinesAndTheJournalSaysHowMany) {
  TJournal::TOptions options;
  options.Capacity = 10;
  options.WakeAt = SIZE_MAX;  // written on Flush only
  options.FlushMs = 3600 * 1000;
  auto j = TJournal::CreateUnshared(Name(), options);
  for (int i = 0; i < 15; ++i) j->Call(dispid::GetECRFlags, {}, 0, i);
  EXPECT_EQ(j->Dropped(), 5u);
  j->Flush();
  const auto lines = Lines(Name());
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_NE(lines[0].find("=== начало журнала"), std::string::npos);
  EXPECT_NE(lines[1].find("=== пропущено строк: 5 (очередь журнала была полна)"), std::string::npos) << lines[1];
  for (size_t i = 2; i < lines.size(); ++i) EXPECT_NE(lines[i].find("GetECRFlags() = 0"), std::string::npos);
  // Nothing dropped since: no second note.
  j->Call(dispid::GetECRFlags, {}, 0, 0);
  j->Flush();
  EXPECT_EQ(Lines(Name()).size(), 13u);
}

// Past its size the file becomes "<name>.1" (the older copy goes) and a new
// one begins, also when two writers share it.
TEST_F(JournalFile, TurnsOverPastItsSizeKeepingOneOlderCopy) {
  TJournal::TOptions options;
  options.MaxBytes = 4096;
  options.WakeAt = 8;
  auto first = TJournal::CreateUnshared(Name(), options);
  auto second = TJournal::CreateUnshared(Name(), options);
  std::thread other([&] {
    for (int i = 0; i < 2000; ++i) second->Note(L"второй " + std::to_wstring(i));
  });
  for (int i = 0; i < 2000; ++i) first->Note(L"первый " + std::to_wstring(i));
  other.join();
  first->Flush();
  second->Flush();
  first->Note(L"последняя");
  first.reset();
  second.reset();

  const std::wstring old = JournalOldName(Name());
  EXPECT_EQ(old, Name() + L".1");
  ASSERT_TRUE(fs::exists(fs::path(WideToUtf8(old))));
  const auto oldSize = fs::file_size(fs::path(WideToUtf8(old)));
  // Turned over when the next line would pass the limit, never later.
  EXPECT_LE(oldSize, options.MaxBytes);
  EXPECT_GT(oldSize, options.MaxBytes - 100);
  EXPECT_LE(fs::file_size(FDir.Path() / "обмен.log"), options.MaxBytes);
  const std::regex note(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  поток \d+  === (первый|второй) \d+)");
  for (const std::wstring& file : {old, Name()}) {
    ASSERT_EQ(ReadWholeFile(file).rfind(std::string(kJournalBom), 0), 0u);
    for (const auto& line : Lines(file))
      EXPECT_TRUE(std::regex_match(line, note) || line.find("=== начало журнала") != std::string::npos ||
                  line.find("=== последняя") != std::string::npos)
          << line;
  }
  // The first lines are long gone: only one older copy is kept.
  EXPECT_EQ(ReadWholeFile(old).find("=== первый 0\r\n"), std::string::npos);
  EXPECT_NE(ReadWholeFile(Name()).find("=== последняя\r\n"), std::string::npos);
}

class ControlJournal : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.JournalFile = File();
    return s;
  }
  std::wstring File() const { return Utf8ToWide((FDir.Path() / "PloverDrv.log").string()); }
  TTestDir FDir{"plover_cjournal_"};
};

TEST_F(ControlJournal, CallsAndFramesOfAControlAreInItsJournalOnceItGoes) {
  Drv->set_RegisterNumber(0);
  EXPECT_EQ(Drv->GetCashRegister(), 0);
  Drv->set_CommandType(0);
  Drv->set_CommandCode(0x1A);
  Drv->set_CommandSrcAddress(1);
  Drv->set_CommandDstAddress(2);
  Drv->set_WaitAnswer(true);
  EXPECT_EQ(Drv->SendCommand(), 0);
  // Off: nothing more is written.
  Drv->set_JournalFile(L"");
  EXPECT_EQ(Drv->GetECRFlags(), 0);
  Drv->set_JournalFile(File());
  Drv.reset();  // the last control of the process: its lines are written now

  std::string all;
  for (const auto& line : Lines(File())) all += line.substr(line.find("  ", 24) + 2) + "\n";
  const std::string wanted[] = {
      "GetCashRegister(RegisterNumber=0) = 0 (Ошибок нет)",
      "отправлен  в процессе  1 -> 2  №",
      "1Ah «Запрос денежного регистра»  запрос  RegisterNumber=0  [02 ",
      "получен  в процессе  2 -> 1  №",
      "1Ah «Запрос денежного регистра»  ответ  CashRegister=1500.25 CommandResultCode=0  [02 ",
      "SendCommand(CommandType=0, CommandCode=26, CommandSrcAddress=1, CommandDstAddress=2, Timeout=1000, "
      "WaitAnswer=True) = 0 (Ошибок нет)",
  };
  size_t from = 0;
  for (const auto& w : wanted) {
    const size_t at = all.find(w, from);
    ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << w << "\nin:\n" << all;
    from = at;
  }
  EXPECT_EQ(all.find("GetECRFlags"), std::string::npos);
}

TEST_F(ControlJournal, SettingsRefuseWhatTheyCannotTake) {
  struct TCase {
    int32_t Id;
    TVariant Value;
  } refused[] = {
      {dispid::JournalMaxKB, TVariant::FromInt(-1)},
      {dispid::JournalMaxKB, TVariant::FromInt(2 * 1024 * 1024 + 1)},
      {dispid::BusHost, TVariant::FromStr(L"hub.local")},
      {dispid::BusListen, TVariant::FromStr(L"127.0.0.256")},
      {dispid::BusAllow, TVariant::FromStr(L"10.0.0.1, 10.0.0.0/40")},
      {dispid::BusFault, TVariant::FromStr(L"loss")},
      {dispid::BusFaultEvery, TVariant::FromInt(-1)},
      {dispid::BusFaultDelay, TVariant::FromInt(60001)},
  };
  for (const auto& c : refused) {
    const TVariant before = Drv->GetById(c.Id);
    EXPECT_THROW(Drv->PutById(c.Id, c.Value), EOleError) << c.Id;
    EXPECT_EQ(Drv->GetById(c.Id), before);
  }
  Drv->set_BusAllow(L"10.0.0.1, 10.0.2.0/24");
  Drv->set_BusListen(L"0.0.0.0");
  Drv->set_JournalMaxKB(0);
  EXPECT_EQ(Drv->get_BusAllow(), L"10.0.0.1, 10.0.2.0/24");
  EXPECT_EQ(Drv->get_BusListen(), L"0.0.0.0");
  EXPECT_EQ(Drv->get_JournalMaxKB(), 0);
  // A fault is kept as its keyword; "none" is no fault.
  Drv->set_BusFault(L" Duplicate ");
  EXPECT_EQ(Drv->get_BusFault(), L"duplicate");
  Drv->set_BusFault(L"none");
  EXPECT_EQ(Drv->get_BusFault(), L"");
}
