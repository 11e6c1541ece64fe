#include "fmuDump.h"

#include <chrono>

#include "untFile.h"
#include "untScope.h"
#include "untText.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Дамп");

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmDump, lblDevice), L"Устройство:", 8, 12, 0, 0},
    {TKind::ComboBox, FORM_FIELD(TfmDump, cbDevice), L"", 88, 8, 233, 21, akLeftTop,
     {.List = {.Items = L"Накопитель ФП\nЧасы\nЭнергонезависимая память\nПроцессор ФП\nПамять программ ККМ\n"
               L"Оперативная память ККМ"}}},
    {TKind::Label, FORM_FIELD(TfmDump, Label1), L"Параметры", 8, 44, 0, 0},
    {TKind::Bevel, L"Bevel1", L"", 72, 51, 395, 2, akLeft | akTop | akRight, {.Bevel = {.Shape = bsTopLine}}},
    {TKind::RadioButton, FORM_FIELD(TfmDump, rbAll), L"Весь дамп", 16, 64, 113, 17, akLeftTop, &TfmDump::rbRangeClick,
     {.Flags = cfChecked}},
    {TKind::RadioButton, FORM_FIELD(TfmDump, rbRange), L"Диапазон блоков", 16, 88, 113, 17, akLeftTop,
     &TfmDump::rbRangeClick},
    {TKind::Label, FORM_FIELD(TfmDump, lblStartBlock), L"Начальный:", 136, 90, 0, 0, akLeftTop, {.Flags = cfDisabled}},
    {TKind::Edit, FORM_FIELD(TfmDump, edtStartBlock), L"0", 208, 86, 73, 21, akLeftTop, {.Flags = cfDisabled}},
    {TKind::Label, FORM_FIELD(TfmDump, lblEndBlock), L"Конечный:", 296, 90, 0, 0, akLeftTop, {.Flags = cfDisabled}},
    {TKind::Edit, FORM_FIELD(TfmDump, edtEndBlock), L"0", 360, 86, 73, 21, akLeftTop, {.Flags = cfDisabled}},
    {TKind::Button, FORM_FIELD(TfmDump, btnStart), L"Начать", 8, 128, 75, 25, akLeftTop, &TfmDump::btnStartClick},
    {TKind::Button, FORM_FIELD(TfmDump, btnView), L"Просмотр", 88, 128, 75, 25, akLeftTop, &TfmDump::btnViewClick},
    {TKind::Button, FORM_FIELD(TfmDump, btnSave), L"Сохранить", 168, 128, 75, 25, akLeftTop, &TfmDump::btnSaveClick},
    {TKind::Label, FORM_FIELD(TfmDump, lblInfo), L"", 8, 168, 0, 0, akLeftTop, {.Flags = cfHidden}},
    {TKind::Label, FORM_FIELD(TfmDump, lblTime), L"", 8, 188, 0, 0, akLeftTop, {.Flags = cfHidden}},
    {TKind::ProgressBar, FORM_FIELD(TfmDump, ProgressBar), L"", 8, 212, 459, 17, akLeft | akTop | akRight},
};

const wchar_t kFilter[] = L"Файлы дампов (*.dmp)|*.dmp|Все файлы (*.*)|*.*";

uint64_t Milliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

TfmDump::TfmDump() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
  FormCreate();
}

TfmDump::~TfmDump() {
  // Nothing is posted from here on; the reader stops and waits for its
  // worker (which no longer asks the window anything), then the viewer goes.
  StopPosting();
  FReader.reset();
  FView.reset();
}

void TfmDump::FormCreate() {
  cbDevice->SetItemIndex(0);
  ProgressBar->SetRange(0, 100);
  ProgressBar->SetStep(1);
  FSaveDir = ProgramFolder();
}

// Busy while a reading exists; a page that never read is not busy, and asking
// creates no driver control.
bool TfmDump::IsBusy() { return FReader && FReader->Active(); }

TDumpReader& TfmDump::GetReader() {
  if (!FReader) {
    auto reader = std::make_unique<TDumpReader>(Driver(), DriverLock(), WorkerHost());
    BindReader(*reader, {WM_DUMP_STARTED, WM_DUMP_PROGRESS, WM_DUMP_COMPLETE}, [this] { DumpStarted(); },
               [this](int count) { DumpProgress(count); }, [this] { DumpComplete(); });
    reader->OnAskContinue = [](const std::wstring& question) {
      return Application().ShowMessageBox(question, MB_YESNO | MB_ICONWARNING) == IDYES;
    };
    reader->OnShowError = [](const std::wstring& text) { Application().ShowMessageBox(text, MB_OK | MB_ICONERROR); };
    FReader = std::move(reader);
  }
  return *FReader;
}

void TfmDump::rbRangeClick() {
  const bool range = rbRange->Checked();
  for (TControl* c : {static_cast<TControl*>(edtStartBlock), static_cast<TControl*>(lblStartBlock),
                      static_cast<TControl*>(edtEndBlock), static_cast<TControl*>(lblEndBlock)})
    c->SetEnabled(range);
}

void TfmDump::EnableStart(bool enabled) {
  if (!enabled) FFocus.Note({btnStart});
  btnStart->SetEnabled(enabled);
  if (enabled) FFocus.GiveBack();
}

void TfmDump::btnStartClick() {
  EnableStart(false);
  // The completion message gives the button back; an error here does.
  TOnFailure back([this] { EnableStart(true); });
  if (FReader && FReader->Active()) {
    FReader->Stop();
    return;
  }
  FStartTime = Milliseconds();
  PrepareParams();
  GetReader().Start(FParams);
}

void TfmDump::PrepareParams() {
  FParams.DeviceNumber = cbDevice->ItemIndex() + 1;
  TDumpRange range;
  {
    std::lock_guard lock(DriverLock());
    range = ::PrepareParams(Driver(), FParams.DeviceNumber, rbAll->Checked(), edtStartBlock->Text(),
                            edtEndBlock->Text());
  }
  FParams = range.Params;
  FBlockCount = range.BlockCount;
}

void TfmDump::DumpStarted() {
  EnableStart(true);
  btnStart->SetText(L"Прервать");
  lblInfo->Show();
  lblTime->Show();
  ProgressBar->Show();
  ProgressBar->SetRange(0, FBlockCount);
  ProgressBar->SetPosition(0);
  ProgressBar->Update();
  FShownCount = 0;
  FLastCount = 0;
  FLastShown = 0;
}

// The worker of a fast device posts one message a block, far more than the
// window can show one by one: the messages in between only note the count,
// and the page shows the latest one at most every kShowInterval, the last
// block's always (and whatever is pending when the reading ends).
void TfmDump::DumpProgress(int count) {
  FLastCount = count;
  const uint64_t now = Milliseconds();
  if (count < FBlockCount && FShownCount > 0 && now - FLastShown < kShowInterval) return;
  FLastShown = now;
  ShowProgress();
  RepaintAtMostEvery(kShowInterval);
}

void TfmDump::ShowProgress() {
  if (FLastCount == FShownCount) return;
  lblInfo->SetText(Format(L"Всего блоков: %d  Прочитано: %d", FBlockCount, FLastCount));
  lblTime->SetText(L"Прошло времени: " + FormatElapsed(Milliseconds() - FStartTime));
  ProgressBar->SetPosition(FLastCount);
  ProgressBar->Update();
  FShownCount = FLastCount;
  UpdateViewCaption();
}

void TfmDump::DumpComplete() {
  if (FReader) FReader->Stop();
  ShowProgress();
  EnableStart(true);
  btnStart->SetText(L"Начать");
  ProgressBar->Hide();
}

TfmView& TfmDump::View() {
  if (!FView) {
    FView = std::make_unique<TfmView>();
    UpdateViewCaption();
  }
  return *FView;
}

void TfmDump::UpdateViewCaption() { View().SetCaption(GetDeviceName(FParams.DeviceNumber)); }

void TfmDump::btnViewClick() {
  TfmView& view = View();
  // A copy of whole blocks, also while a reading goes on.
  view.Data = FReader ? FReader->Data() : std::string();
  view.ShowData();
  view.Show();
  SetForegroundWindow(view.Handle());
}

void TfmDump::btnSaveClick() {
  TFileDialogArgs args;
  args.Owner = Handle();
  args.Filter = kFilter;
  args.DefaultExt = L"DMP";
  args.InitialDir = FSaveDir;
  args.FileName = GetDeviceName(FParams.DeviceNumber);
  if (!SaveFileDialog(args)) return;
  WriteWholeFile(args.FileName, FReader ? FReader->Data() : std::string());
}
