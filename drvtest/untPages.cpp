#include "untPages.h"

#include <algorithm>

#include "untComDriver.h"

// ---------------------------------------------------------------- TPage

TPage::TPage(const TFormDef& def, std::span<const TCtlDef> layout) : TMyForm(def, layout) {}

TPage::~TPage() { SetPages(nullptr); }

void TPage::SetPages(TPages* pages) {
  if (pages == FPages) return;
  if (FPages) FPages->Remove(this);
  if (pages) pages->Add(this);
}

TDriver& TPage::Driver() {
  if (!FPages) throw Exception(L"Страница не подключена к списку страниц");
  return FPages->Driver();
}

// ---------------------------------------------------------------- TPages

TPages::TPages(TDriverFactory factory) : FFactory(std::move(factory)) {
  if (!FFactory) FFactory = [] { return CreateComDriver(); };
}

TPages::~TPages() {
  Clear();
  FDriver.reset();
}

TDriver& TPages::Driver() {
  if (!FDriver) FDriver = FFactory();
  return *FDriver;
}

void TPages::Add(TPage* page) {
  if (!page || page->FPages == this) return;
  if (page->FPages) page->FPages->Remove(page);
  FList.push_back(page);
  page->FPages = this;
}

void TPages::Remove(TPage* page) {
  auto it = std::find(FList.begin(), FList.end(), page);
  if (it == FList.end()) return;
  const int index = static_cast<int>(it - FList.begin());
  FList.erase(it);
  page->FPages = nullptr;
  if (index == FActiveIndex)
    FActiveIndex = -1;
  else if (index < FActiveIndex)
    --FActiveIndex;
}

void TPages::ShowPage(int index) {
  if (index == FActiveIndex) return;
  if (ValidIndex(index)) {
    TPage* page = FList[static_cast<size_t>(index)];
    page->SetAlign(alClient);
    page->SetVisible(true);
    if (TContainer* parent = page->Parent())
      page->SetBounds(0, 0, parent->ClientWidth(), parent->ClientHeight());
  }
  if (ValidIndex(FActiveIndex)) FList[static_cast<size_t>(FActiveIndex)]->SetVisible(false);
  FActiveIndex = index;
}

void TPages::Clear() {
  // A page leaves the list in its destructor.
  while (!FList.empty()) delete FList.front();
  FActiveIndex = -1;
}

void CheckPagesIdle(TPages& pages) {
  for (int i = 0; i < pages.Count(); ++i)
    if (pages.Items(i)->IsBusy())
      throw Exception(L"Перед настройкой необходимо остановить выполнение операций.");
}
