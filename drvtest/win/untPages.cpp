#include "untPages.h"

#include <algorithm>

#include "untComDriver.h"

const TFontDef kListingFont = [] {
  TFontDef f;
  f.Name = L"Courier New";
  f.Height = -13;
  f.CharSet = RUSSIAN_CHARSET;
  f.Pitch = fpFixed;
  return f;
}();

// ---------------------------------------------------------------- TPage

TPage::TPage(const TFormDef& def, std::span<const TCtlDef> layout) : TMyForm(def, layout) {
  FPoster.Attach(Handle());
}

TPage::~TPage() {
  StopPosting();
  SetPages(nullptr);
}

TFormDef TPage::PageDef(const wchar_t* caption) {
  TFormDef d;
  d.Caption = caption;
  d.ClientWidth = 478;
  d.ClientHeight = 391;
  d.BorderStyle = bsSingle;
  return d;
}

TDriverLock& TPage::DriverLock() {
  if (!FPages) throw Exception(L"Страница не подключена к списку страниц");
  return FPages->DriverLock();
}

TLineSink TPage::MemoSink(TMemo& memo) {
  return [&memo](const std::wstring& line) { memo.Add(line); };
}

void TPage::LetEventsRun(bool& stopRequested) {
  Application().ProcessMessages();
  // The main window was closed meanwhile: the program ends once the loop
  // has returned, so the loop must not go on.
  if (Application().Terminated()) stopRequested = true;
}

TWindowWorkerHost& TPage::WorkerHost() {
  if (!FWorkerHost) FWorkerHost = std::make_unique<TWindowWorkerHost>(*this, FPoster);
  return *FWorkerHost;
}

void TPage::BindReader(TReader& reader, TReaderMessages messages, std::function<void()> started,
                       std::function<void(int count)> progress, std::function<void()> complete) {
  SetMessageHandler(messages.Started, [started = std::move(started)](WPARAM, LPARAM) -> LRESULT {
    started();
    return 0;
  });
  SetMessageHandler(messages.Progress, [progress = std::move(progress)](WPARAM wp, LPARAM) -> LRESULT {
    progress(static_cast<int>(wp));
    return 0;
  });
  SetMessageHandler(messages.Complete, [complete = std::move(complete)](WPARAM, LPARAM) -> LRESULT {
    complete();
    return 0;
  });
  const TWindowPoster poster = FPoster;
  reader.OnStart = [poster, m = messages.Started] { poster.Post(m); };
  reader.OnProgress = [poster, m = messages.Progress](int count) { poster.Post(m, static_cast<WPARAM>(count)); };
  reader.OnComplete = [poster, m = messages.Complete] { poster.Post(m); };
}

void TPage::RepaintAtMostEvery(unsigned milliseconds) {
  const uint64_t now = GetTickCount64();
  if (now - FLastRepaint < milliseconds) return;
  FLastRepaint = now;
  UpdateWindow(Handle());
}

void TPage::StopPosting() {
  FPoster.Detach();
  if (FWorkerHost) FWorkerHost->Close();
}

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
  FList.emplace_back(page);
  page->FPages = this;
}

void TPages::Remove(TPage* page) {
  auto it = std::find_if(FList.begin(), FList.end(), [page](const auto& p) { return p.get() == page; });
  if (it == FList.end()) return;
  const int index = static_cast<int>(it - FList.begin());
  it->release();  // the caller has the page back
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
    TPage* page = FList[static_cast<size_t>(index)].get();
    page->SetAlign(alClient);
    page->SetVisible(true);
    if (TContainer* parent = page->Parent())
      page->SetBounds(0, 0, parent->ClientWidth(), parent->ClientHeight());
  }
  if (ValidIndex(FActiveIndex)) FList[static_cast<size_t>(FActiveIndex)]->SetVisible(false);
  FActiveIndex = index;
}

void TPages::Clear() {
  // Out of the list first, so that nothing walks to a page being destroyed;
  // the page keeps its host (and so the driver) until it is gone.
  while (!FList.empty()) {
    std::unique_ptr<TPage> page = std::move(FList.front());
    FList.erase(FList.begin());
    FActiveIndex = FActiveIndex > 0 ? FActiveIndex - 1 : -1;
    page.reset();
  }
  FActiveIndex = -1;
}

void CheckPagesIdle(TPages& pages) {
  for (int i = 0; i < pages.Count(); ++i)
    if (pages.Items(i)->IsBusy())
      throw Exception(L"Перед настройкой необходимо остановить выполнение операций.");
}
