// Scenario files and journals a desk plays, many desks at once, and the pace
// of a replay.
#include <gtest/gtest.h>
#include <condition_variable>
#include <filesystem>
#include <map>

#include "EcrTestSupport.h"
#include "untEcrBus.h"
#include "untEcrJournal.h"
#include "untEcrJournalFile.h"
#include "untEcrResults.h"
#include "untEcrScenario.h"
#include "untEcrStations.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"

namespace fs = std::filesystem;
using namespace ecr;

namespace {

TDeskPlan Parse(const std::string& text) {
  TDeskPlan plan;
  TScenarioError error;
  EXPECT_TRUE(ParseDeskScenario(text, plan, error)) << error.Line << ": " << WideToUtf8(error.Text);
  return plan;
}

std::map<int32_t, TVariant> ById(const std::vector<TFrameParam>& params) {
  std::map<int32_t, TVariant> m;
  for (const auto& p : params) m[p.DispId] = p.Value;
  return m;
}

// A frame line as the journal writes it, at 10:00:00 plus ms.
std::string JournalLine(int64_t ms, bool sent, uint8_t type, uint8_t code, uint8_t seq, bool repeated,
                        std::vector<TFrameParam> params = {}) {
  TFrame f;
  f.Dst = 1;
  f.Src = 3;
  f.Type = type;
  f.Code = code;
  f.Seq = seq;
  f.Params = std::move(params);
  std::string bytes;
  EXPECT_EQ(EncodeFrame(f, bytes), kOk);
  TJournalStamp at{2025, 1, 14, 10, 0, 0, 0, 4312};
  at.Sec = static_cast<int>(ms / 1000);
  at.Ms = static_cast<int>(ms % 1000);
  return JournalFrameLine(at, sent, L"в процессе", bytes, repeated) + "\r\n";
}

}  // namespace

TEST(DeskScenarioFile, SampleFileIsTheBuiltInScenario) {
  const TDeskPlan plan = Parse(ReadWholeFile(
      (fs::path(__FILE__).parent_path().parent_path().parent_path() / "driver/scenarios/desk-builtin.txt").wstring()));
  const auto& builtIn = DeskScenario();
  ASSERT_EQ(plan.Steps.size(), builtIn.size());
  for (size_t i = 0; i < builtIn.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(plan.Steps[i].Code, builtIn[i].Code);
    EXPECT_EQ(plan.Steps[i].LoseFirstAnswer, builtIn[i].LoseFirstAnswer);
    const auto got = ById(plan.Steps[i].Params), want = ById(builtIn[i].Params);
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [id, value] : want) EXPECT_TRUE(got.at(id) == value) << WideToUtf8(FindMemberById(id)->Name);
  }
}

TEST(DeskScenarioFile, RepeatsPausesExpectationsAndTextForms) {
  const TDeskPlan plan = Parse(
      "\xEF\xBB\xBF# комментарий\r\n"
      "pause 50\n"
      "repeat 2\n"
      "  repeat 2\n"
      "    81h Code=\"a \\\"b\\\"\\x41\" Quantity=-0.5  # после запроса\n"
      "    pause 100\n"
      "  end\n"
      "end\n"
      "50h Summ=-12.3456 ECRDate=31.12.2024 ECRTime=23:59:58 => CommandResultCode=0\n"
      "pause 7\n");
  ASSERT_EQ(plan.Steps.size(), 2u);
  ASSERT_EQ(plan.Order.size(), 5u);
  EXPECT_FALSE(plan.FromJournal);
  const int64_t pauses[] = {50 + 7, 100, 100, 100, 100};
  const uint32_t steps[] = {0, 0, 0, 0, 1};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(plan.Order[i].PauseMs, pauses[i]) << i;
    EXPECT_EQ(plan.Order[i].Step, steps[i]) << i;
  }
  const auto sale = ById(plan.Steps[0].Params);
  EXPECT_TRUE(sale.at(dispid::Code) == TVariant::FromStr(L"a \"b\"A"));
  EXPECT_TRUE(sale.at(dispid::Quantity) == TVariant::FromDouble(-0.5));
  EXPECT_EQ(plan.Steps[1].Line, 9);
  const auto cash = ById(plan.Steps[1].Params);
  EXPECT_TRUE(cash.at(dispid::Summ) == TVariant::FromCurrency(-123456));
  EXPECT_EQ(JournalValueText(cash.at(dispid::ECRDate)), "31.12.2024");
  EXPECT_EQ(JournalValueText(cash.at(dispid::ECRTime)), "23:59:58");
  ASSERT_EQ(plan.Steps[1].Expect.size(), 1u);
  EXPECT_TRUE(plan.Steps[1].Expect[0].Value == TVariant::FromInt(0));
}

TEST(DeskScenarioFile, RefusesWithLineAndReason) {
  struct TCase {
    const char* Text;
    int Line;
    const char* Says;
  } cases[] = {
      {"# nothing\n\n", 0, "нет ни одного запроса"},
      {"80h\nsale Price=1\n", 2, "не код команды"},
      {"100h\n", 1, "не код команды"},
      {"80h Prise=1\n", 1, "неизвестный параметр Prise"},
      {"80h GetECRStatus=1\n", 1, "неизвестный параметр"},
      {"80h CashRegister=1\n", 1, "не передаётся в запросе 80h"},
      {"80h => Price=1\n", 1, "не приходит в ответе на 80h"},
      {"80h Price=1,5\n", 1, "Price=1,5: нужно значение"},
      {"80h Price=1.23456\n", 1, "Price=1.23456"},
      {"80h Quantity=два\n", 1, "Quantity=два"},
      {"80h Section=\n", 1, "Section="},
      {"50h ECRDate=32.01.2024\n", 1, "ECRDate"},
      {"81h Code=\"open\n", 1, "не закрыта кавычка"},
      {"81h Code=\"a\\q\"\n", 1, "Code="},
      {"80h Price=1 Price=2\n", 1, "задан дважды"},
      {"80h Price\n", 1, "не параметр"},
      {"80h => CommandResultCode=0 =>\n", 1, "«=>» дважды"},
      {"repeat 2\n80h\n", 1, "repeat без end"},
      {"80h\nend\n", 2, "end без repeat"},
      {"repeat 0\n80h\nend\n", 1, "repeat N"},
      {"pause -1\n80h\n", 1, "pause N"},
      {"pause 3600001\n80h\n", 1, "pause N"},
      {"repeat 1000\nrepeat 1000\n80h\nend\nend\n", 3, "больше 200000"},
      {"repeat 200000\nrepeat 200000\npause 1\nend\nend\n80h\n", 2, "повторы дают больше"},
      {"2025-01-14 10:00:00.000  поток 1  === начало журнала\nслово\n", 2, "не из журнала"},
      {"2025-01-14 10:00:00.000  поток 1  получен  в процессе  3 -> 1  №1  80h  запрос  [02 00]\n", 1, "не разбирается"},
      {"2025-01-14 10:00:00.000  поток 1  === начало журнала\n", 0, "нет принятых запросов"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    TDeskPlan plan;
    TScenarioError error;
    EXPECT_FALSE(ParseDeskScenario(c.Text, plan, error));
    EXPECT_TRUE(plan.Steps.empty() && plan.Order.empty());
    EXPECT_EQ(error.Line, c.Line);
    EXPECT_NE(WideToUtf8(error.Text).find(c.Says), std::string::npos) << WideToUtf8(error.Text);
  }
  std::string deep;
  for (int i = 0; i <= kMaxRepeatDepth; ++i) deep += "repeat 1\n";
  TDeskPlan plan;
  TScenarioError error;
  EXPECT_FALSE(ParseDeskScenario(deep, plan, error));
  EXPECT_EQ(error.Line, kMaxRepeatDepth + 1);
}

// What a support case's journal holds: the desk plays the requests that came
// in, first attempts only, with their spacing; not the control's own requests,
// not answers, not repeats.
TEST(DeskScenarioFile, JournalGivesTheRequestsThatCameIn) {
  const std::vector<TFrameParam> sale = {{dispid::Quantity, TVariant::FromDouble(1)},
                                         {dispid::Price, TVariant::FromCurrency(32500)}};
  const std::string journal =
      std::string(kJournalBom) + "2025-01-14 10:00:00.000  поток 1  === начало журнала: PloverDrv 1.6.0.62\r\n" +
      JournalLine(100, false, 0, 0x80, 7, false, sale) +  // a sale from the cash register
      JournalLine(120, true, 1, 0x80, 7, false) +         // its answer
      JournalLine(300, false, 0, 0x80, 7, true, sale) +   // its repeat
      JournalLine(400, true, 0, 0x1A, 9, false) +         // the program asking a register itself
      JournalLine(450, false, 0, 0x1A, 9, false) +        // such a request seen on the bus
      JournalLine(1850, false, 0, 0x92, 8, false);
  const TDeskPlan plan = Parse(journal);
  EXPECT_TRUE(plan.FromJournal);
  ASSERT_EQ(plan.Steps.size(), 2u);
  EXPECT_EQ(plan.Steps[0].Code, 0x80);
  EXPECT_EQ(plan.Steps[0].Line, 2);
  ASSERT_EQ(plan.Order.size(), 2u);
  EXPECT_EQ(plan.Order[0].RecordedGapMs, -1);
  EXPECT_TRUE(ById(plan.Steps[0].Params).at(dispid::Price) == TVariant::FromCurrency(32500));
  EXPECT_EQ(plan.Steps[1].Code, 0x92);
  EXPECT_EQ(plan.Order[1].RecordedGapMs, 1750);
}

namespace {

class DeskFiles : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 10000;  // a busy machine must not make the desks repeat
    return s;
  }
  std::wstring File(const char* name, const std::string& text) {
    const std::wstring file = (FDir.Path() / name).wstring();
    WriteWholeFile(file, text);
    return file;
  }
  // Answers every request of a desk with the given result code.
  void AnswerWith(int32_t resultCode, std::vector<std::pair<int, std::wstring>>* seen = nullptr) {
    Drv->OnCommand = [this, resultCode, seen](TPloverDriver&, int32_t id) {
      Drv->set_CommandID(id);
      ASSERT_EQ(Drv->GetCommand(), 0);
      ASSERT_EQ(Drv->ParseCommand(), 0);
      if (Drv->get_CommandType() != 0) return;
      if (seen) seen->push_back({Drv->get_CommandSrcAddress(), Drv->get_CommandCadrHex()});
      Drv->set_WaitAnswer(false);
      Drv->set_CommandType(1);
      Drv->set_CommandResultCode(resultCode);
      Drv->set_CommandDstAddress(Drv->get_CommandSrcAddress());
      Drv->set_CommandSrcAddress(Drv->get_SrcAddress());
      Drv->SendCommand();
    };
  }
  TTestDir FDir{"plover_desk_"};
};

}  // namespace

TEST_F(DeskFiles, RefusedFileKeepsTheSettingAndSaysWhy) {
  const std::wstring good = File("good.txt", "92h\n");
  Drv->set_DeskScenario(good);
  const std::wstring bad = File("bad.txt", "92h\n80h Prise=1\n");
  try {
    Drv->set_DeskScenario(bad);
    FAIL() << "a file with a mistake was taken";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Message(), Format(L"Сценарий кассы «%ls», строка 2: неизвестный параметр Prise", bad.c_str()));
  }
  EXPECT_EQ(Drv->get_DeskScenario(), good);
  EXPECT_THROW(Drv->set_DeskScenario((FDir.Path() / "none.txt").wstring()), EOleError);
  EXPECT_EQ(Drv->get_DeskScenario(), good);

  // The file changed after it was set: the desk reads it when it plays, and refuses it.
  WriteWholeFile(good, "repeat 2\n");
  Drv->Control().ApplySettings(Drv->Control().Settings());  // what OK in the settings dialog does
  EXPECT_EQ(Drv->SendDeskRequest(), kBadScenario);
  EXPECT_EQ(Drv->get_ResultCodeDescription(),
            Format(L"Сценарий кассы «%ls», строка 1: repeat без end", good.c_str()));
  EXPECT_EQ(Drv->WaitCommands(50), 0);
  Drv->set_DeskScenario(L"");
  EXPECT_EQ(Drv->SendDeskRequest(), kOk);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Ошибок нет");
}

TEST_F(DeskFiles, DesksHaveTheirOwnAddressesNumbersAndPlaces) {
  std::vector<std::pair<int, std::wstring>> seen;
  AnswerWith(0, &seen);
  Drv->set_DeskScenario(File("two.txt", "80h Price=1\n92h\n"));
  Drv->set_DeskFirstAddress(10);
  Drv->set_DeskCount(3);
  EXPECT_THROW(Drv->set_DeskFirstAddress(254), EOleError);
  EXPECT_THROW(Drv->set_DeskCount(kMaxDeskCount + 1), EOleError);
  EXPECT_EQ(Drv->get_DeskFirstAddress(), 10);
  EXPECT_EQ(Drv->get_DeskCount(), 3);

  ASSERT_EQ(Drv->SendDeskRequest(), kOk);
  int got = 0;
  while (got < 3 && Drv->WaitCommands(2000) > 0) got = static_cast<int>(seen.size());
  ASSERT_EQ(Drv->SendDeskRequest(), kOk);
  while (got < 6 && Drv->WaitCommands(2000) > 0) got = static_cast<int>(seen.size());
  ASSERT_EQ(seen.size(), 6u);
  std::map<int, std::vector<std::wstring>> hexBySource;
  for (const auto& [source, hex] : seen) hexBySource[source].push_back(hex);
  ASSERT_EQ(hexBySource.size(), 3u);
  for (int address = 10; address <= 12; ++address) {
    SCOPED_TRACE(address);
    const auto& frames = hexBySource[address];
    ASSERT_EQ(frames.size(), 2u);
    // 80h then 92h from each desk: "02 LL LL DD SS TT CC QQ".
    EXPECT_EQ(frames[0].substr(18, 2), L"80");
    EXPECT_EQ(frames[1].substr(18, 2), L"92");
    EXPECT_NE(frames[0].substr(21, 2), frames[1].substr(21, 2));
  }
}

TEST_F(DeskFiles, AnswerNotAsExpectedGoesToTheJournal) {
  const std::wstring journal = (FDir.Path() / "journal.txt").wstring();
  Drv->set_JournalFile(journal);
  Drv->set_DeskScenario(File("expect.txt", "92h => CommandResultCode=0\n92h => CommandResultCode=3\n92h\n"));
  AnswerWith(3);
  // Paced by the answers: once the third request is here, the desk has taken
  // the answers to the first two.
  Drv->set_DeskReplayPace(kDeskPaceAnswered);
  Drv->set_DeskInterval(10);
  Drv->set_VirtualDesk(true);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Drv->WaitCommands(2000), 1);
  Drv->set_VirtualDesk(false);
  Drv.reset();  // writes what the journal holds
  const std::string text = ReadWholeFile(journal);
  const std::string note = "=== касса 3, строка 1 сценария: ответ на 92h";
  ASSERT_NE(text.find(note), std::string::npos) << text;
  EXPECT_NE(text.find("CommandResultCode=3 (ожидалось 0)"), std::string::npos);
  EXPECT_EQ(text.find("строка 2 сценария"), std::string::npos);
}

// The support case: what a cash register sent, recorded by the program's
// journal, comes again from a desk given that journal, value for value.
TEST_F(DeskFiles, AJournalPlaysBackTheRequestsItRecorded) {
  const std::wstring journal = (FDir.Path() / "field.log").wstring();
  Drv->set_JournalFile(journal);
  std::vector<std::pair<int, std::wstring>> field, replay;
  AnswerWith(0, &field);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Drv->SendDeskRequest(), kOk);
    ASSERT_EQ(Drv->WaitCommands(2000), 1);
  }
  Drv.reset();  // writes the journal

  TEcrSettings s = Settings();
  s.DeskScenario = journal;
  s.DeskFirstAddress = 9;
  Drv = TDirectDriver::Create(s);
  AnswerWith(0, &replay);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(Drv->SendDeskRequest(), kOk);
    ASSERT_EQ(Drv->WaitCommands(2000), 1);
  }
  ASSERT_EQ(replay.size(), field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(replay[i].first, 9);
    // The code and every parameter as recorded; the addresses, the sequence
    // number and so the checksum are the desk's own.
    const std::wstring& was = field[i].second;
    const std::wstring& is = replay[i].second;
    ASSERT_EQ(is.size(), was.size());
    EXPECT_EQ(is.substr(18, 2), was.substr(18, 2));
    EXPECT_EQ(is.substr(24, is.size() - 27), was.substr(24, was.size() - 27));
  }
}

// A desk paced by the answers does not wait its interval: a journal of three
// requests plays through at once against an answering station.
TEST(DeskPace, AsFastAsAnsweredIgnoresIntervalAndRecordedSpacing) {
  int32_t rc;
  auto bus = TBus::Open({}, rc);
  ASSERT_TRUE(bus);
  struct TAnswerer : TBusStation {
    std::shared_ptr<TBus> Bus;
    int32_t Id = 0;
    void Receive(const std::string&, const TFrame& f, bool) override {
      if (f.Type != 0) return;
      TFrame a{f.Src, 1, 1, f.Code, f.Seq, {{dispid::CommandResultCode, TVariant::FromInt(0)}}};
      std::string bytes;
      if (EncodeFrame(a, bytes) == kOk) Bus->Send(Id, std::move(bytes));
    }
  } answerer;
  answerer.Bus = bus;
  answerer.Id = bus->Attach(&answerer);
  auto plan = std::make_shared<TDeskPlan>();
  plan->Steps.resize(1);
  plan->Steps[0].Code = 0x92;
  for (int i = 0; i < 3; ++i) plan->Order.push_back({0, 0, i ? 3600000 : -1});
  plan->FromJournal = true;
  std::mutex mutex;
  std::condition_variable cv;
  int answered = 0;
  {
    TVirtualDesk desk(bus, [] { return TVirtualDesk::TTarget{1, 60000}; }, 7, plan);
    desk.SetRoundTrip([&](int64_t) {
      std::lock_guard lock(mutex);
      ++answered;
      cv.notify_all();
    });
    desk.Start(3600000, kDeskPaceAnswered, 0);
    std::unique_lock lock(mutex);
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return answered >= 7; }));
    lock.unlock();
    desk.Stop();
    const auto stats = desk.Stats();
    EXPECT_EQ(stats.Repeated, 0);
    EXPECT_EQ(stats.Unanswered, 0);
    EXPECT_EQ(stats.AnsweredTwice, 0);
  }
  bus->Detach(answerer.Id);
}
