#include "fmuMain.h"

#include "fmuAbout.h"
#include "fmuCommands.h"
#include "fmuDate.h"
#include "fmuDump.h"
#include "fmuFlags.h"
#include "fmuReceipt.h"
#include "fmuReg.h"
#include "fmuRestReg.h"
#include "fmuStatus.h"
#include "fmuTable.h"
#include "fmuTables.h"
#include "fmuTest.h"
#include "untScope.h"
#include "untText.h"
#include "untVInfo.h"

namespace {

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"Тест ККМ";
  d.ClientWidth = 616;
  d.ClientHeight = 428;
  d.BorderStyle = bsSingle;
  d.BorderIcons = biSystemMenu | biMinimize;
  d.Position = poScreenCenter;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::ListBox, FORM_FIELD(TfmMain, ListBox), L"", 8, 8, 129, 377, akLeft | akTop | akBottom,
     &TfmMain::ListBoxClick, {.AccName = L"Страницы"}},
    {TKind::Panel, FORM_FIELD(TfmMain, pnlData), L"", 138, 0, 478, 391, akAll},
    {TKind::Bevel, L"Bevel", L"", 8, 391, 603, 2, akLeft | akRight | akBottom, {.Bevel = {.Shape = bsTopLine}}},
    {TKind::Button, FORM_FIELD(TfmMain, btnProperties), L"Настройка...", 8, 395, 82, 25, akLeft | akBottom,
     &TfmMain::btnPropertiesClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnAbout), L"О программе...", 96, 395, 90, 25, akLeft | akBottom,
     &TfmMain::btnAboutClick},
    {TKind::Button, FORM_FIELD(TfmMain, btnClose), L"Закрыть", 536, 395, 75, 25, akRight | akBottom,
     &TfmMain::btnCloseClick, {.Flags = cfCancel}},
};

}  // namespace

TfmMain::TfmMain(TPages::TDriverFactory driverFactory) : TMyForm(kForm, kLayout) {
  BindFields(*this, kLayout);
  FPages = std::make_unique<TPages>(std::move(driverFactory));
  // The pages in list order; a new page is one more line here.
  AddPage<TfmStatus>(1);
  AddPage<TfmDate>(2);
  AddPage<TfmReg>(3);
  AddPage<TfmRestReg>(4);
  AddPage<TfmDump>(5);
  AddPage<TfmFlags>(6);
  AddPage<TfmTest>(7);
  AddPage<TfmCommands>(8);
  AddPage<TfmReceipt>(9);
  AddPage<TfmTables>(10);
  AddPage<TfmTable>(11);
  FillPageList();
  FormCreate();
}

TfmMain::~TfmMain() {
  // Every page (and its worker) ends, then the driver control, then the window.
  FPages.reset();
}

void TfmMain::FormCreate() {
  SetBorderStyle(bsSizeable);
  SetMinSize(Width(), Height());
  SetCaption(Caption() + L" " + GetFileVersionString());
}

void TfmMain::FillPageList() {
  {
    ListBox->BeginUpdate();
    TOnExit endUpdate([this] { ListBox->EndUpdate(); });
    ListBox->Clear();
    for (int i = 0; i < FPages->Count(); ++i)
      ListBox->Add(Format(L"%d. %ls", FPages->Items(i)->Position > 0 ? FPages->Items(i)->Position : i + 1,
                          FPages->Items(i)->Caption().c_str()));
  }
  if (FPages->Count() > 0) SelectPage(0);
}

void TfmMain::SelectPage(int index) {
  FPages->ShowPage(index);
  ListBox->SetItemIndex(index);
}

void TfmMain::ListBoxClick() { SelectPage(ListBox->ItemIndex()); }

void TfmMain::btnPropertiesClick() {
  CheckPagesIdle(*FPages);
  Driver().ShowProperties();
}

void TfmMain::btnAboutClick() {
  ShowAboutBox(Handle(), Application().Title,
               {L"Версия теста: " + GetFileVersionString(),
                L"Версия драйвера: " + DriverText(Driver().get_DriverVersion())});
}

void TfmMain::btnCloseClick() { Close(); }
