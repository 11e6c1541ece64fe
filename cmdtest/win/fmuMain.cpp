#include "fmuMain.h"

#include <vector>

#include "WinModule.h"
#include "fmuAbout.h"
#include "fmuLog.h"
#include "fmuRepeat.h"
#include "untComDriver.h"
#include "untVInfo.h"

using cmdtest::TfmMain;

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Тест команд";
  d.ClientWidth = 600;
  d.ClientHeight = 350;
  d.BorderStyle = bsSingle;
  d.Position = poScreenCenter;
  d.Font.Name = L"MS Sans Serif";
  d.Font.Height = -11;
  return d;
}();

constexpr TAnchors akTopRight = akTop | akRight;
constexpr TAnchors akRightBottom = akRight | akBottom;
constexpr TAnchors akLeftRightBottom = akLeft | akRight | akBottom;
constexpr TAnchors akLeftBottom = akLeft | akBottom;

const TCtlDef kLayout[] = {
    {TKind::ListBox, FORM_FIELD(TfmMain, lbCommands), L"", 8, 8, 210, 265, akLeft | akTop | akBottom,
     &TfmMain::lbCommandsClick, {.Flags = cfOwnerDraw, .AccName = L"Команды", .List = {.ItemHeight = 18}}},
    {TKind::Grid, FORM_FIELD(TfmMain, Grid), L"", 224, 8, 281, 265, akAll,
     {.Flags = cfGridEditing | cfGridColSizing,
      .AccName = L"Параметры команды",
      .Grid = {.ColCount = 2, .RowCount = 2, .FixedCols = 1, .FixedRows = 1, .ColWidth = 200, .RowHeight = 20}}},
    {TKind::Label, L"lblRxCount_", L"Принято:", 512, 8, 0, 0, akTopRight},
    {TKind::Label, FORM_FIELD(TfmMain, lblRxCount), L"0", 576, 8, 0, 0, akTopRight},
    {TKind::Label, L"lblTxCount_", L"Передано:", 512, 24, 0, 0, akTopRight},
    {TKind::Label, FORM_FIELD(TfmMain, lblTxCount), L"0", 576, 24, 0, 0, akTopRight},
    {TKind::Button, FORM_FIELD(TfmMain, btnReset), L"Сбросить", 512, 40, 83, 25, akTopRight, &TfmMain::btnResetClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnExecute), L"Выполнить", 512, 176, 83, 25, akRightBottom,
     &TfmMain::btnExecuteClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnDriver), L"Драйвер...", 512, 208, 83, 25, akRightBottom,
     &TfmMain::btnDriverClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnParams), L"Параметры", 512, 240, 83, 25, akRightBottom,
     &TfmMain::btnParamsClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnAbout), L"О программе", 512, 288, 83, 25, akRightBottom,
     &TfmMain::btnAboutClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnClose), L"Закрыть", 512, 320, 83, 25, akRightBottom,
     &TfmMain::btnCloseClick},
    {TKind::Label, L"lblResult", L"Результат:", 8, 284, 0, 0, akLeftBottom},
    {TKind::Edit, FORM_FIELD(TfmMain, edtResult), L"", 72, 280, 433, 21, akLeftRightBottom,
     {.Flags = cfReadOnly, .Color = clBtnFace}},
    {TKind::Label, L"lblOutput", L"Передано:", 8, 305, 0, 0, akLeftBottom},
    {TKind::Edit, FORM_FIELD(TfmMain, edtOutput), L"", 72, 304, 433, 21, akLeftRightBottom, {.Flags = cfReadOnly}},
    {TKind::Label, L"lblInput", L"Принято:", 8, 329, 0, 0, akLeftBottom},
    {TKind::Edit, FORM_FIELD(TfmMain, edtInput), L"", 72, 328, 433, 21, akLeftRightBottom, {.Flags = cfReadOnly}},
    {TKind::Button, FORM_FIELD(TfmMain, btnLog), L"Журнал...", 512, 72, 83, 25, akTopRight, &TfmMain::btnLogClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnRepeat), L"Повторить...", 512, 144, 83, 25, akRightBottom,
     &TfmMain::btnRepeatClick},
};

}  // namespace

namespace cmdtest {

std::wstring ProgramIniFileName() {
  std::wstring ini = IniFileNameOf(ModuleFileName(nullptr));
  // The settings store takes paths of up to 255 characters; a deeper folder
  // is reached through its short name.
  const size_t slash = ini.find_last_of(L'\\');
  if (ini.size() > 255 && slash != std::wstring::npos) {
    std::wstring dir = ini.substr(0, slash), shortDir(MAX_PATH, L'\0');
    DWORD n = GetShortPathNameW(dir.c_str(), shortDir.data(), static_cast<DWORD>(shortDir.size()));
    if (n > shortDir.size()) {
      shortDir.resize(n);
      n = GetShortPathNameW(dir.c_str(), shortDir.data(), n);
    }
    if (n > 0 && n < shortDir.size()) ini = shortDir.substr(0, n) + ini.substr(slash);
  }
  return ini;
}

TfmMain::TfmMain(std::wstring iniFileName, TDriverFactory createDriver) : TMyForm(kForm, kLayout) {
  BindFields(*this, kLayout);
  OnClose = [this](TCloseAction& action) { FormClose(action); };
  OnResize = [this] { FormResize(); };

  FormCreate();
  if (iniFileName.empty()) iniFileName = ProgramIniFileName();
  std::unique_ptr<TDriver> driver = createDriver ? createDriver() : CreateComDriver();
  FSession = std::make_unique<TCmdSession>(static_cast<TCmdView&>(*this), std::move(driver), std::move(iniFileName));
  FSession->Driver().OnCommand = [this](TPloverDriver& sender, int32_t commandId) {
    DriverCommand(sender, commandId);
  };
  FSession->ShowGridHeader();
  LoadSettings();
  FillCommandList();
  AdjustColumns();
}

TfmMain::~TfmMain() = default;

void TfmMain::FormCreate() {
  SetBorderStyle(bsSizeable);
  RECT r{};
  GetWindowRect(Handle(), &r);
  SetMinSize(r.right - r.left, r.bottom - r.top);
  SetCaption(kForm.Caption + L" " + GetFileVersionString());
}

void TfmMain::FormClose(TCloseAction& action) {
  if (FRepeatWindow) FRepeatWindow->btnStopClick();
  StoreGrid();
  // A settings file that cannot be written keeps the window open: the error
  // reaches the error display and the user may try again.
  SaveSettings();
}

void TfmMain::FormResize() { AdjustColumns(); }

void TfmMain::AdjustColumns() {
  if (Grid->ColCount() < 2) return;
  RECT client{};
  GetClientRect(Grid->Handle(), &client);
  const int last = Grid->ColCount() - 1;
  Grid->SetColWidths(last, LastColumnWidth(client.right - client.left, Grid->ColCount(), Grid->GridLineWidth(),
                                           Grid->ColWidths(0)));
}

void TfmMain::FillCommandList() { FSession->FillCommandList(); }

void TfmMain::lbCommandsClick() { SelectCommand(lbCommands->ItemIndex()); }

void TfmMain::btnExecuteClick() { FSession->Execute(); }

void TfmMain::btnDriverClick() { (void)Driver().ShowProperties(); }

void TfmMain::btnParamsClick() { (void)Params().ShowDialog(); }

void TfmMain::btnAboutClick() {
  const std::vector<std::wstring> lines = {L"Версия теста: " + GetFileVersionString(),
                                           L"Версия драйвера: " + Driver().get_DriverVersion()};
  ShowAboutBox(Handle(), Application().Title, lines);
}

void TfmMain::btnResetClick() { FSession->ResetCounters(); }

void TfmMain::btnCloseClick() { Close(); }

void TfmMain::btnLogClick() {
  if (!FLogWindow) {
    FLogWindow = std::make_unique<TfmLog>(FSession->Log());
    FLogWindow->SetOwnerWindow(Handle());
    FLogWindow->PlaceBeside(Handle());
  }
  FLogWindow->Show();
  SetForegroundWindow(FLogWindow->Handle());
}

void TfmMain::btnRepeatClick() {
  if (!FRepeatWindow) {
    FRepeatWindow = std::make_unique<TfmRepeat>(
        *FSession,
        [this](bool running) {
          // The buttons of Execute, and this one, stay off for the whole run.
          EnableCommandButtons(!running);
          btnRepeat->SetEnabled(!running);
        },
        [this] { return btnExecute->Enabled(); });
    FRepeatWindow->SetOwnerWindow(Handle());
    FRepeatWindow->PlaceBeside(Handle());
  }
  if (!FRepeatWindow->Running()) FRepeatWindow->ParamsToControls();
  FRepeatWindow->Show();
  SetForegroundWindow(FRepeatWindow->Handle());
}

void TfmMain::DriverCommand(TPloverDriver& sender, int32_t commandId) { FSession->DriverCommand(commandId); }

void TfmMain::EnableCommandButtons(bool enabled) {
  const std::initializer_list<TButton*> buttons = {btnClose, btnDriver, btnParams, btnExecute};
  if (!enabled) FFocus.Note(buttons);
  for (TButton* b : buttons) b->SetEnabled(enabled);
  if (enabled) FFocus.GiveBack();
}

// ---------------------------------------------------------------- TCmdView

void TfmMain::SetGridRowCount(int count) { Grid->SetRowCount(count); }

std::wstring TfmMain::GridCell(int col, int row) { return Grid->Cells(col, row); }

void TfmMain::SetGridCell(int col, int row, const std::wstring& text) { Grid->SetCells(col, row, text); }

void TfmMain::SetCommandItems(const std::vector<std::wstring>& items) {
  lbCommands->BeginUpdate();
  lbCommands->Clear();
  for (const auto& item : items) lbCommands->Add(item);
  lbCommands->EndUpdate();
}

void TfmMain::SetCommandItemIndex(int index) { lbCommands->SetItemIndex(index); }

void TfmMain::SetResultText(const std::wstring& text) { edtResult->SetText(text); }

void TfmMain::SetOutputText(const std::wstring& text) { edtOutput->SetText(text); }

void TfmMain::SetInputText(const std::wstring& text) { edtInput->SetText(text); }

void TfmMain::SetCounterTexts(const std::wstring& txCount, const std::wstring& rxCount) {
  lblTxCount->SetText(txCount);
  lblRxCount->SetText(rxCount);
}

}  // namespace cmdtest
