#pragma once
// A hidden message-only window on the thread that created a control. Network
// threads only post to it; whatever it notifies runs on that window's thread,
// when the thread handles its messages.
#include <windows.h>

#include <functional>
#include <memory>

class INotifyTarget {
 public:
  // Under the window's lock: takes a reference, or returns false when the
  // target is already on its way out.
  virtual bool BeginNotify() = 0;
  virtual void Notified() = 0;
  virtual void EndNotify() = 0;

 protected:
  ~INotifyTarget() = default;
};

class TNotifyWindow {
 public:
  // Creates the window on the calling thread; throws EOleError on failure.
  explicit TNotifyWindow(INotifyTarget* target);
  TNotifyWindow(const TNotifyWindow&) = delete;
  TNotifyWindow& operator=(const TNotifyWindow&) = delete;
  // Detaches the target at once; the window itself goes here when this is its
  // thread, or is asked to close on its own thread otherwise.
  ~TNotifyWindow();

  // A callable for any thread, safe to call after the window is gone. Posts
  // coalesce: one message is in the queue at a time.
  std::function<void()> Poster() const;

  // Runs the task on the window's thread, from any thread. False when the
  // window is gone or the post failed; the task is then neither run nor
  // destroyed, since what it holds belongs to the window's thread. A task
  // still queued when the window goes is dropped the same way.
  bool PostTask(std::function<void()> task) const;

  struct TLink;

 private:
  std::shared_ptr<TLink> FLink;
  HWND FWindow = nullptr;
  DWORD FThread = 0;
};

// Called when the DLL is unloaded, after the last window has gone.
void UnregisterNotifyWindowClass();
