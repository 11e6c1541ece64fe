#include "fmuTest.h"

#include "untWindowLoop.h"

namespace {

TFormDef PageForm() {
  TFormDef d = TPage::PageDef(L"Проверка связи");
  d.BorderStyle = bsSizeable;
  return d;
}

const TFormDef kForm = PageForm();

constexpr TCtlOpts kValue{.Flags = cfAlignRight};

const TCtlDef kLayout[] = {
    {TKind::Bevel, FORM_FIELD(TfmTest, bvlCounters), L"", 8, 8, 297, 161, akLeftTop, {.Bevel = {.Shape = bsFrame}}},
    {TKind::Label, FORM_FIELD(TfmTest, lblRepCount2), L"Количество повторов:", 20, 20, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblRepCount), L"0", 184, 20, 105, 13, akLeftTop, kValue},
    {TKind::Label, FORM_FIELD(TfmTest, lblErrCount2), L"Количество ошибок:", 20, 44, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblErrCount), L"0", 184, 44, 105, 13, akLeftTop, kValue},
    {TKind::Label, FORM_FIELD(TfmTest, lblSpeed), L"Скорость, команд/c:", 20, 68, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblTxSpeed), L"0", 184, 68, 105, 13, akLeftTop, kValue},
    {TKind::Label, FORM_FIELD(TfmTest, Label2), L"Время команды, мс.:", 20, 92, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblCommandTime), L"0", 184, 92, 105, 13, akLeftTop, kValue},
    {TKind::Label, FORM_FIELD(TfmTest, Label1), L"Процент ошибок:", 20, 116, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblErrRate), L"0", 184, 116, 105, 13, akLeftTop, kValue},
    {TKind::Label, FORM_FIELD(TfmTest, lblTimeLeft2), L"Время теста, секунд:", 20, 140, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblTimeLeft), L"0", 184, 140, 105, 13, akLeftTop, kValue},
    {TKind::Button, FORM_FIELD(TfmTest, btnStart), L"Начать", 392, 8, 75, 25, akTop | akRight, &TfmTest::btnStartClick},
    {TKind::Button, FORM_FIELD(TfmTest, btnStop), L"Прервать", 392, 40, 75, 25, akTop | akRight, &TfmTest::btnStopClick,
     {.Flags = cfDisabled}},
    {TKind::CheckBox, FORM_FIELD(TfmTest, chbStopOnError), L"Остановка при ошибке", 8, 180, 177, 17},
    {TKind::Bevel, FORM_FIELD(TfmTest, bvlTimes), L"", 8, 208, 297, 161, akLeftTop, {.Bevel = {.Shape = bsFrame}}},
    {TKind::Label, L"lblFastest2", L"Мин. время команды, мкс:", 20, 220, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblFastest), L"0", 184, 220, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblAverage2", L"Сред. время команды, мкс:", 20, 244, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblAverage), L"0", 184, 244, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblSlowest2", L"Макс. время команды, мкс:", 20, 268, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblSlowest), L"0", 184, 268, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblPercentile952", L"95-й процентиль, мкс:", 20, 292, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblPercentile95), L"0", 184, 292, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblPercentile992", L"99-й процентиль, мкс:", 20, 316, 160, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblPercentile99), L"0", 184, 316, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblFailures2", L"Ошибки по кодам:", 20, 340, 100, 13},
    {TKind::Label, FORM_FIELD(TfmTest, lblFailures), L"нет", 120, 340, 169, 13, akLeftTop, kValue},
};

}  // namespace

TfmTest::TfmTest() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
  OnClose = [this](TCloseAction&) { StopRequested = true; };
}

void TfmTest::btnStartClick() {
  // The focus goes with the enabled button: to "Прервать" while the test
  // runs, back to "Начать" after it.
  TFocusKeeper focus;
  focus.Note({btnStart});
  btnStop->SetEnabled(true);
  focus.GiveBack(btnStop);
  btnStart->SetEnabled(false);
  TOnExit idle([&] {
    PutFigures();
    focus.Note({btnStop});
    btnStart->SetEnabled(true);
    btnStop->SetEnabled(false);
    focus.GiveBack(btnStart);
  });
  FTextsPending = false;
  FLastPut = TWindowLoop::Ticks();
  TWindowLoop loop(*this, StopRequested);
  TConnectionHooks hooks;
  loop.Bind(hooks);
  hooks.Show = [this](const TConnectionTexts& texts) { ShowFigures(texts); };
  hooks.StopOnError = [this] { return chbStopOnError->Checked(); };
  FClock = TCommandClock();
  hooks.Counter = &TCommandClock::Now;
  RunConnectionTest(Driver(), hooks, StopRequested, &FStats);
}

void TfmTest::btnStopClick() { StopRequested = true; }

// Every label set is a paint of the page's window, a handful of round trips
// to the window server under Wine: after every tick it would take more time
// than the commands. Nobody reads counters faster than this anyway.
void TfmTest::ShowFigures(const TConnectionTexts& texts) {
  FTexts = texts;
  FTextsPending = true;
  if (TWindowLoop::Ticks() - FLastPut >= kShowInterval) PutFigures();
}

void TfmTest::PutFigures() {
  if (!FTextsPending) return;
  FTextsPending = false;
  FLastPut = TWindowLoop::Ticks();
  lblRepCount->SetText(FTexts.RepCount);
  lblErrCount->SetText(FTexts.ErrCount);
  lblTxSpeed->SetText(FTexts.TxSpeed);
  lblErrRate->SetText(FTexts.ErrRate);
  lblTimeLeft->SetText(FTexts.TimeLeft);
  lblCommandTime->SetText(FTexts.CommandTime);
  const TConnectionStatTexts stats = ConnectionStatTexts(FStats, FClock.Frequency());
  lblFastest->SetText(stats.Fastest);
  lblAverage->SetText(stats.Average);
  lblSlowest->SetText(stats.Slowest);
  lblPercentile95->SetText(stats.Percentile95);
  lblPercentile99->SetText(stats.Percentile99);
  lblFailures->SetText(stats.Failures);
}
