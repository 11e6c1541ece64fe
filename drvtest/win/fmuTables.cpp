#include "fmuTables.h"

#include <vector>

#include "untScope.h"
#include "untTables.h"

namespace {

const TFormDef kForm = TPage::PageDef(L"Структура таблиц");

const TCtlDef kLayout[] = {
    {TKind::Memo, FORM_FIELD(TfmTables, Memo), L"", 8, 8, 361, 375, akAll,
     {.Flags = cfScrollBars, .Font = &kListingFont, .AccName = L"Структура таблиц"}},
    {TKind::Button, FORM_FIELD(TfmTables, btnRead), L"Прочитать", 376, 8, 94, 25, akTop | akRight,
     &TfmTables::btnReadClick, {.Button = {.Glyph = bgTable}}},
};

}  // namespace

TfmTables::TfmTables() : TPage(kForm, kLayout) {
  BindFields(*this, kLayout);
}

void TfmTables::btnReadClick() {
  Memo->Clear();
  // The listing goes into the list in one edit; what was read before an
  // error stays.
  std::vector<std::wstring> lines;
  TDriverAction busy(*this);
  TOnExit show([&] { Memo->AddLines(lines); });
  ReadTablesListing(Driver(), [&lines](const std::wstring& line) { lines.push_back(line); });
}
