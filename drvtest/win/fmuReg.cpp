#include "fmuReg.h"

#include "untScope.h"
#include "untText.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Значения регистров");

const TCtlDef kLayout[] = {
    {TKind::Label, FORM_FIELD(TfmReg, lblRegType), L"Тип регистра:", 8, 12, 0, 0},
    {TKind::ComboBox, FORM_FIELD(TfmReg, cbRegType), L"", 88, 8, 201, 21, akLeftTop,
     {.List = {.Items = L"Денежные регистры\nОперационные регистры\nРегистры остатков"}}},
    {TKind::Button, FORM_FIELD(TfmReg, btnRead), L"Прочитать", 392, 8, 75, 25, akTop | akRight, &TfmReg::btnReadClick},
    {TKind::Label, FORM_FIELD(TfmReg, lblInfo), L"", 296, 12, 90, 13, akTop | akRight, {.Flags = cfHidden}},
    {TKind::Memo, FORM_FIELD(TfmReg, Memo), L"", 8, 40, 459, 343, akAll,
     {.Flags = cfReadOnly | cfNoWordWrap, .Font = &kListingFont, .AccName = L"Значения регистров"}},
};

}  // namespace

TfmReg::TfmReg() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
  cbRegType->SetItemIndex(0);
}

TfmReg::~TfmReg() {
  // The worker first (it posts nothing more), then the sets it was filling.
  StopPosting();
  FReader.reset();
}

TRegReader& TfmReg::GetReader() {
  if (!FReader) {
    auto reader = std::make_unique<TRegReader>(Driver(), DriverLock(), WorkerHost());
    BindReader(*reader, {WM_REG_STARTED, WM_REG_READ, WM_REG_DONE}, [this] { RegStarted(); },
               [this](int position) { RegRead(position); }, [this] { RegDone(); });
    FReader = std::move(reader);
  }
  return *FReader;
}

TECRRegisters& TfmReg::Registers(int kind) {
  auto& set = FRegisters[kind];
  if (!set) set = CreateRegisters(kind);
  return *set;
}

void TfmReg::EnableRead(bool enabled) {
  if (!enabled) FFocus.Note({btnRead});
  btnRead->SetEnabled(enabled);
  if (enabled) FFocus.GiveBack();
}

void TfmReg::btnReadClick() {
  EnableRead(false);
  // The completion message gives the button back; an error here does.
  TOnFailure back([this] { EnableRead(true); });
  if (FReader && FReader->Active()) {
    FReader->Stop();
    return;
  }
  Memo->Clear();
  FShown = 0;
  {
    std::lock_guard lock(DriverLock());
    Driver().set_DeviceEnabled(true);
  }
  RegType = std::clamp(cbRegType->ItemIndex(), 0, 2);
  GetReader().Start(Registers(RegType));
}

void TfmReg::RegStarted() {
  EnableRead(true);
  btnRead->SetText(L"Прервать");
  lblInfo->Show();
}

// A worker on a fast device posts faster than the window can list one line
// a message, and a queue that never empties keeps the user's clicks (the
// close box, "Прервать") waiting until the walk is over. So the registers
// read so far are listed together, at most every kShowInterval, and the
// messages in between only return; the walk's end lists the rest.
void TfmReg::RegRead(int position) {
  if (position < FShown) return;
  const uint64_t now = GetTickCount64();
  if (FShown > 0 && now - FLastShown < kShowInterval) return;
  FLastShown = now;
  ShowReadLines();
  RepaintAtMostEvery(kShowInterval);
}

void TfmReg::ShowReadLines() {
  TECRRegisters& set = Registers(RegType);
  const int count = set.Count();
  if (count <= FShown) return;
  std::vector<std::wstring> lines;
  lines.reserve(static_cast<size_t>(count - FShown));
  for (int i = FShown; i < count; ++i) lines.push_back(set.LineAt(i));
  Memo->AddLines(lines);
  FShown = count;
  lblInfo->SetText(Format(L"Прочитано: %d", count));
}

void TfmReg::RegDone() {
  if (FReader) FReader->Stop();
  ShowReadLines();
  EnableRead(true);
  btnRead->SetText(L"Начать");
  lblInfo->Hide();
  if (FReader && FReader->ErrorCode() != 0) throw Exception(FReader->ErrorText());
}
