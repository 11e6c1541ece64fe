#include "fmuCommands.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Команды");

const TCtlDef kLayout[] = {
    {TKind::Memo, FORM_FIELD(TfmCommands, Memo), L"", 8, 8, 361, 375, akAll,
     {.Flags = cfNoWordWrap, .Font = &kListingFont, .AccName = L"Принятые команды"}},
    {TKind::Button, FORM_FIELD(TfmCommands, btnClear), L"Очистить", 376, 8, 94, 25, akTop | akRight,
     &TfmCommands::btnClearClick, {.Button = {.Glyph = bgClear}}},
};

}  // namespace

TfmCommands::TfmCommands()
    : TPage(kForm, kLayout), FAnswerer([this](const std::wstring& line) { Memo->Add(line); }) {
  BindFields(*this, kLayout);
  OnShow = [this] { FormShow(); };
  OnHide = [this] { FormHide(); };
  ShowHeader();
}

void TfmCommands::ShowHeader() {
  Memo->Clear();
  Memo->AddLines(CommandsLogHeader());
}

void TfmCommands::btnClearClick() { ShowHeader(); }

void TfmCommands::FormShow() {
  // Showing runs inside the page switch: a driver that cannot be created is
  // reported here, and the page still comes up (a later show tries again).
  // The answering runs inside the driver's event and holds the pages' driver
  // lock for its whole sequence, so a background reading of another page
  // never sees its properties changed half-way.
  Application().Guard([this] { FAnswerer.Bind(Driver(), DriverLock()); });
}

void TfmCommands::FormHide() { FAnswerer.Unbind(); }
