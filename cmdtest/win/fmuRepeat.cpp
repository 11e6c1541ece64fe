#include "fmuRepeat.h"

#include "untInteger.h"
#include "untScope.h"
#include "untText.h"

using cmdtest::TfmRepeat;

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Повтор команды";
  d.ClientWidth = 360;
  d.ClientHeight = 233;
  d.BorderStyle = bsDialog;
  d.BorderIcons = biSystemMenu;
  d.Position = poOwnerFormCenter;
  d.Font.Name = L"MS Sans Serif";
  d.Font.Height = -11;
  return d;
}();

constexpr TCtlOpts kValue{.Flags = cfAlignRight};
constexpr UINT kStepTimer = 1;

const TCtlDef kLayout[] = {
    {TKind::Label, L"lblCount", L"Количество повторов:", 8, 12, 150, 13},
    {TKind::Edit, FORM_FIELD(TfmRepeat, edtCount), L"10", 160, 8, 60, 21},
    {TKind::Label, L"lblCountHint", L"(0 — до остановки)", 228, 12, 0, 0},
    {TKind::Label, L"lblInterval", L"Интервал, мс:", 8, 40, 0, 0},
    {TKind::Edit, FORM_FIELD(TfmRepeat, edtInterval), L"1000", 160, 36, 60, 21},
    {TKind::CheckBox, FORM_FIELD(TfmRepeat, chbStopOnError), L"Остановка при ошибке", 8, 64, 177, 17},
    {TKind::Bevel, L"bvlFigures", L"", 8, 88, 344, 105, akLeftTop, {.Bevel = {.Shape = bsFrame}}},
    {TKind::Label, L"lblSent2", L"Передано:", 16, 96, 0, 0},
    {TKind::Label, FORM_FIELD(TfmRepeat, lblSent), L"0", 150, 96, 194, 13, akLeftTop, kValue},
    {TKind::Label, L"lblFailed2", L"Ошибок:", 16, 114, 0, 0},
    {TKind::Label, FORM_FIELD(TfmRepeat, lblFailed), L"0", 150, 114, 194, 13, akLeftTop, kValue},
    {TKind::Label, L"lblFastest2", L"Мин. время, мс:", 16, 132, 0, 0},
    {TKind::Label, FORM_FIELD(TfmRepeat, lblFastest), L"", 150, 132, 194, 13, akLeftTop, kValue},
    {TKind::Label, L"lblSlowest2", L"Макс. время, мс:", 16, 150, 0, 0},
    {TKind::Label, FORM_FIELD(TfmRepeat, lblSlowest), L"", 150, 150, 194, 13, akLeftTop, kValue},
    {TKind::Label, L"lblResult2", L"Результат:", 16, 168, 0, 0},
    {TKind::Label, FORM_FIELD(TfmRepeat, lblResult), L"", 80, 168, 264, 13, akLeftTop, kValue},
    {TKind::Button, FORM_FIELD(TfmRepeat, btnStart), L"Начать", 115, 200, 75, 25, akLeftTop, &TfmRepeat::btnStartClick,
     {.Flags = cfDefault}},
    {TKind::Button, FORM_FIELD(TfmRepeat, btnStop), L"Прервать", 196, 200, 75, 25, akLeftTop, &TfmRepeat::btnStopClick,
     {.Flags = cfDisabled}},
    {TKind::Button, FORM_FIELD(TfmRepeat, btnClose), L"Закрыть", 277, 200, 75, 25, akLeftTop, &TfmRepeat::btnCloseClick,
     {.Flags = cfCancel}},
};

uint32_t NonNegative(const std::wstring& text) {
  const int32_t value = ParseInt32(text, irDecimal);
  if (value < 0) throw EConvertError(Format(L"\"%ls\" не является неотрицательным числом", text.c_str()));
  return static_cast<uint32_t>(value);
}

}  // namespace

namespace cmdtest {

TfmRepeat::TfmRepeat(TCmdSession& session, std::function<void(bool)> running, std::function<bool()> canStart)
    : TMyForm(kForm, kLayout), FSession(session), FRunning(std::move(running)), FCanStart(std::move(canStart)) {
  BindFields(*this, kLayout);
  // Closing the window ends a run as "Прервать" does.
  OnClose = [this](TCloseAction&) { btnStopClick(); };
}

TfmRepeat::~TfmRepeat() { StopTimer(kStepTimer); }

void TfmRepeat::ParamsToControls() {
  const TRepeatParams& p = FSession.Params().Repeat;
  edtCount->SetText(IntToStr(p.Count));
  edtInterval->SetText(IntToStr(p.Interval));
  chbStopOnError->SetChecked(p.StopOnError);
}

void TfmRepeat::btnStartClick() {
  if (FRun || (FCanStart && !FCanStart())) return;
  TRepeatParams params;
  params.Count = NonNegative(edtCount->Text());
  params.Interval = NonNegative(edtInterval->Text());
  params.StopOnError = chbStopOnError->Checked();
  FSession.Params().Repeat = params;
  FRun.emplace(params);
  ShowFigures();
  // As with Execute: the command buttons off, the focus with the enabled
  // button, "Прервать" while the run lasts and "Начать" after it.
  if (FRunning) FRunning(true);
  FFocus.Note({btnStart});
  btnStop->SetEnabled(true);
  FFocus.GiveBack(btnStop);
  btnStart->SetEnabled(false);
  btnClose->SetEnabled(false);
  Step();
}

void TfmRepeat::btnStopClick() {
  if (!FRun) return;
  FRun->Stop();
  // An exchange under way (its events may run while it waits for the
  // answer) ends the run itself; between two exchanges it ends now.
  if (FInStep) return;
  StopTimer(kStepTimer);
  Finish();
}

void TfmRepeat::btnCloseClick() { Close(); }

void TfmRepeat::Step() {
  if (!FRun) return;
  if (FRun->Over()) return Finish();
  FStepStart = GetTickCount();
  // A step that raises (a value the driver refuses) ends the run; the error
  // then reaches the error display.
  TOnFailure end([this] { Finish(); });
  TCmdSession::TStepResult result;
  {
    FInStep = true;
    TOnExit stepDone([this] { FInStep = false; });
    result = FSession.ExecuteStep();
  }
  FRun->Done(result.Code, result.Text, result.Microseconds);
  ShowFigures();
  if (FRun->Over()) Finish();
  else ScheduleNext();
}

// The next step comes from the window's timer, the last of the window
// events: paints and a click on "Прервать" always get their turn between two
// exchanges. An interval shorter than the system's timer allows (or one the
// exchange outlasted) gives the timer's shortest wait.
void TfmRepeat::ScheduleNext() {
  const uint32_t interval = FSession.Params().Repeat.Interval;
  const uint32_t spent = GetTickCount() - FStepStart;
  StartTimer(kStepTimer, spent >= interval ? 1 : interval - spent, [this] {
    StopTimer(kStepTimer);
    Step();
  });
}

void TfmRepeat::Finish() {
  if (!FRun) return;
  ShowFigures();
  FRun.reset();
  FFocus.Note({btnStop});
  btnStart->SetEnabled(true);
  btnClose->SetEnabled(true);
  btnStop->SetEnabled(false);
  FFocus.GiveBack(btnStart);
  if (FRunning) FRunning(false);
}

void TfmRepeat::ShowFigures() {
  const TRepeatTexts t = FRun->Texts();
  lblSent->SetText(t.Sent);
  lblFailed->SetText(t.Failed);
  lblFastest->SetText(t.Fastest);
  lblSlowest->SetText(t.Slowest);
  lblResult->SetText(t.LastResult);
}

}  // namespace cmdtest
