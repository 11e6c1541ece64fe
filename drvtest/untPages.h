#pragma once
// The page host of the driver test program and the base of its pages.
//
// TPages owns the pages (registration is ownership: a page registered with a
// host is destroyed by it) and the program's one driver control, which it
// creates on first use and releases after every page, so a page's worker
// always ends before the control goes.
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "MyForm.h"
#include "untDriverResult.h"

class TPages;

class TPage : public TMyForm {
 public:
  TPage(const TFormDef& def, std::span<const TCtlDef> layout);
  ~TPage() override;

  TPages* Pages() const { return FPages; }
  // Leaves the previous host, if any, and joins the new one, if any.
  void SetPages(TPages* pages);
  // The host's driver control; only while registered.
  TDriver& Driver();
  // A running background operation; refuses the driver's settings dialog.
  virtual bool IsBusy() { return false; }
  void DisableButtons() { SetButtonsEnabled(false, FocusedButton); }
  void EnableButtons() { SetButtonsEnabled(true, FocusedButton); }

  // The button that had the focus when the buttons were last disabled.
  TButton* FocusedButton = nullptr;

 private:
  friend class TPages;
  TPages* FPages = nullptr;
};

// Disables a page's buttons for one driver operation and enables them again
// on every path out of it.
class TButtonsDisabled {
 public:
  explicit TButtonsDisabled(TPage& page) : FPage(page) { FPage.DisableButtons(); }
  TButtonsDisabled(const TButtonsDisabled&) = delete;
  TButtonsDisabled& operator=(const TButtonsDisabled&) = delete;
  ~TButtonsDisabled() { FPage.EnableButtons(); }

 private:
  TPage& FPage;
};

class TPages {
 public:
  using TDriverFactory = std::function<std::unique_ptr<TDriver>()>;
  // Without a factory the host creates the registered COM control.
  explicit TPages(TDriverFactory factory = {});
  ~TPages();
  TPages(const TPages&) = delete;
  TPages& operator=(const TPages&) = delete;

  // Created on the first call; a failed creation stores nothing, so the
  // next call tries again.
  TDriver& Driver();
  bool HasDriver() const { return FDriver != nullptr; }

  int Count() const { return static_cast<int>(FList.size()); }
  TPage* Items(int index) const { return FList.at(static_cast<size_t>(index)); }
  // Takes the page over and sets its host.
  void Add(TPage* page);
  // Gives the page back to the caller and clears its host.
  void Remove(TPage* page);
  bool ValidIndex(int index) const { return index >= 0 && index < Count(); }
  int ActiveIndex() const { return FActiveIndex; }
  // Shows page index filling its parent, then hides the page shown before.
  void ShowPage(int index);
  // Destroys every page, first to last.
  void Clear();

 private:
  std::vector<TPage*> FList;
  int FActiveIndex = -1;
  TDriverFactory FFactory;
  std::unique_ptr<TDriver> FDriver;
};

// Refuses (with the user's text) while any page reports a running operation.
void CheckPagesIdle(TPages& pages);

// Background of an input field by whether it is enabled.
inline constexpr TColor EnabledColors[2] = {clBtnFace, clWindow};
