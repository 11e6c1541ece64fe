#pragma once
// The page host of the driver test program and the base of its pages.
//
// TPages owns the pages (registration is ownership: a page registered with a
// host is destroyed by it) and the program's one driver control, which it
// creates on first use and releases after every page, so a page's worker
// always ends before the control goes.
//
// A page that reads in the background owns a worker host (WorkerHost) and
// posts to itself through Poster; it calls StopPosting first thing in its
// destructor, so that nothing reaches a window on its way out.
//
// Driver sequences (set the inputs, call, read the outputs) of the pages and
// of their workers are serialised by the host's DriverLock, held for one
// sequence at a time and never while waiting for the window thread or
// letting window events run.
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "MyForm.h"
#include "untDriverResult.h"
#include "untReader.h"
#include "untStatus.h"  // TLineSink

class TPages;

using TDriverLock = std::recursive_mutex;

// The fixed-pitch font of the pages' listings.
extern const TFontDef kListingFont;

class TPage : public TMyForm {
 public:
  TPage(const TFormDef& def, std::span<const TCtlDef> layout);
  ~TPage() override;

  // The stored state every page shares: its caption (the list entry), the
  // page area's size, a single border (taken away when the page is placed).
  static TFormDef PageDef(const wchar_t* caption);

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
  // The page's number in the main window's list (0: its place in the host).
  int Position = 0;

  // The lock of driver sequences; only while registered.
  TDriverLock& DriverLock();

  // Adds each line to the memo as it comes.
  static TLineSink MemoSink(TMemo& memo);

  // For loops that run on the window thread: lets the waiting window events
  // run (so that their stop button works) and asks the loop to stop once the
  // program is closing. Never call it holding the driver lock.
  static void LetEventsRun(bool& stopRequested);

 protected:
  // Posts to this page's window from any thread, until StopPosting.
  const TWindowPoster& Poster() const { return FPoster; }
  // The host of the page's workers, made on first use; it posts through the
  // page's poster.
  TWindowWorkerHost& WorkerHost();
  // A reader's three events post the page's three messages (started;
  // progress, with the count as wParam; complete), and each message runs its
  // handler on the window thread. Nothing is posted after StopPosting.
  struct TReaderMessages {
    UINT Started, Progress, Complete;
  };
  void BindReader(TReader& reader, TReaderMessages messages, std::function<void()> started,
                  std::function<void(int count)> progress, std::function<void()> complete);
  // Nothing is posted or run on the window thread for a worker from now on.
  void StopPosting();
  // Paints what is waiting to be painted, at most once per interval: a worker
  // that posts faster than the window is painted keeps the window's paint
  // waiting, since the system paints only when no message is queued.
  void RepaintAtMostEvery(unsigned milliseconds);

 private:
  friend class TPages;
  TPages* FPages = nullptr;
  TWindowPoster FPoster;
  std::unique_ptr<TWindowWorkerHost> FWorkerHost;
  uint64_t FLastRepaint = 0;
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

// One driver operation of a page on the window thread: its buttons disabled
// and the driver lock held; both given back on every path.
class TDriverAction {
 public:
  explicit TDriverAction(TPage& page) : FButtons(page), FLock(page.DriverLock()) {}

 private:
  TButtonsDisabled FButtons;
  std::lock_guard<TDriverLock> FLock;
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
  TDriverLock& DriverLock() { return FDriverLock; }

  int Count() const { return static_cast<int>(FList.size()); }
  TPage* Items(int index) const { return FList.at(static_cast<size_t>(index)).get(); }
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
  std::vector<std::unique_ptr<TPage>> FList;
  int FActiveIndex = -1;
  TDriverFactory FFactory;
  TDriverLock FDriverLock;
  std::unique_ptr<TDriver> FDriver;
};

// Refuses (with the user's text) while any page reports a running operation.
void CheckPagesIdle(TPages& pages);

// Background of an input field by whether it is enabled.
inline constexpr TColor EnabledColors[2] = {clBtnFace, clWindow};
