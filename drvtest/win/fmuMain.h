#pragma once
// The main window of the driver test program: the numbered page list on the
// left, the selected page on the right, settings, About and Close below.
#include <memory>

#include "MyForm.h"
#include "untPages.h"

class TfmMain : public TMyForm {
 public:
  // Without a factory the pages use the registered COM control.
  explicit TfmMain(TPages::TDriverFactory driverFactory = {});
  ~TfmMain() override;

  TPages& Pages() { return *FPages; }
  TDriver& Driver() { return FPages->Driver(); }
  void SelectPage(int index);

  void ListBoxClick();
  void btnPropertiesClick();
  void btnAboutClick();
  void btnCloseClick();

  TListBox* ListBox;
  TPanel* pnlData;
  TButton* btnProperties;
  TButton* btnAbout;
  TButton* btnClose;

 private:
  // position: the page's number in the list (its place in the program's
  // table of pages, whatever pages exist before it).
  template <class P>
  void AddPage(int position) {
    auto owned = std::make_unique<P>();
    P* page = owned.get();
    page->Position = position;
    page->SetPages(FPages.get());
    owned.release();  // the host owns the page from here on
    page->SetBorderStyle(bsNone);
    page->SetParent(pnlData);
  }
  void FillPageList();
  void FormCreate();
  std::unique_ptr<TPages> FPages;
};
