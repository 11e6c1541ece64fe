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
    {TKind::Bevel, L"bvlCounters", L"", 8, 8, 297, 161, akLeftTop, {.Shape = bsFrame}},
    {TKind::Label, L"lblRepCount2", L"Количество повторов:", 20, 20, 160, 13},
    {TKind::Label, L"lblRepCount", L"0", 184, 20, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblErrCount2", L"Количество ошибок:", 20, 44, 160, 13},
    {TKind::Label, L"lblErrCount", L"0", 184, 44, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblSpeed", L"Скорость, команд/c:", 20, 68, 160, 13},
    {TKind::Label, L"lblTxSpeed", L"0", 184, 68, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"Label2", L"Время команды, мс.:", 20, 92, 160, 13},
    {TKind::Label, L"lblCommandTime", L"0", 184, 92, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"Label1", L"Процент ошибок:", 20, 116, 160, 13},
    {TKind::Label, L"lblErrRate", L"0", 184, 116, 105, 13, akLeftTop, kValue},
    {TKind::Label, L"lblTimeLeft2", L"Время теста, секунд:", 20, 140, 160, 13},
    {TKind::Label, L"lblTimeLeft", L"0", 184, 140, 105, 13, akLeftTop, kValue},
    {TKind::Button, L"btnStart", L"Начать", 392, 8, 75, 25, akTop | akRight, &TfmTest::btnStartClick},
    {TKind::Button, L"btnStop", L"Прервать", 392, 40, 75, 25, akTop | akRight, &TfmTest::btnStopClick,
     {.Flags = cfDisabled}},
    {TKind::CheckBox, L"chbStopOnError", L"Остановка при ошибке", 8, 180, 177, 17},
};

}  // namespace

TfmTest::TfmTest() : TPage(kForm, kLayout) {
  bvlCounters = Ctl<TBevel>(L"bvlCounters");
  lblRepCount2 = Ctl<TLabel>(L"lblRepCount2");
  lblRepCount = Ctl<TLabel>(L"lblRepCount");
  lblErrCount2 = Ctl<TLabel>(L"lblErrCount2");
  lblErrCount = Ctl<TLabel>(L"lblErrCount");
  lblSpeed = Ctl<TLabel>(L"lblSpeed");
  lblTxSpeed = Ctl<TLabel>(L"lblTxSpeed");
  Label2 = Ctl<TLabel>(L"Label2");
  lblCommandTime = Ctl<TLabel>(L"lblCommandTime");
  Label1 = Ctl<TLabel>(L"Label1");
  lblErrRate = Ctl<TLabel>(L"lblErrRate");
  lblTimeLeft2 = Ctl<TLabel>(L"lblTimeLeft2");
  lblTimeLeft = Ctl<TLabel>(L"lblTimeLeft");
  btnStart = Ctl<TButton>(L"btnStart");
  btnStop = Ctl<TButton>(L"btnStop");
  chbStopOnError = Ctl<TCheckBox>(L"chbStopOnError");
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
  RunConnectionTest(Driver(), hooks, StopRequested);
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
}
