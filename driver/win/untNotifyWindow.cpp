#include "untNotifyWindow.h"

#include <atomic>
#include <mutex>

#include "untComBoundary.h"
#include "untDllModule.h"
#include "untError.h"
#include "win/WinPoster.h"

struct TNotifyWindow::TLink {
  std::mutex Lock;
  INotifyTarget* Target = nullptr;
  std::atomic<bool> Pending{false};
  // Posts stop the moment the window starts to go.
  TWindowPoster Poster;
};

namespace {

constexpr wchar_t kClassName[] = L"PloverDrvNotifyWindow";
constexpr UINT WM_NOTIFY_ARRIVED = WM_APP + 1;
constexpr UINT WM_CLOSE_ORPHAN = WM_APP + 2;
constexpr UINT WM_RUN_TASK = WM_APP + 3;

using TLinkHolder = std::shared_ptr<TNotifyWindow::TLink>;

std::mutex GClassLock;
ATOM GClassAtom = 0;

LRESULT CALLBACK NotifyWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCDESTROY: {
      auto* holder = reinterpret_cast<TLinkHolder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (holder) {
        (*holder)->Poster.Detach();
        delete holder;
        ModuleRelease();
      }
      break;
    }
    case WM_NOTIFY_ARRIVED: {
      auto* holder = reinterpret_cast<TLinkHolder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (!holder) return 0;
      // A copy: the target may destroy this very window while it is notified.
      TLinkHolder link = *holder;
      link->Pending = false;
      INotifyTarget* target = nullptr;
      {
        std::lock_guard lock(link->Lock);
        if (link->Target && link->Target->BeginNotify()) target = link->Target;
      }
      if (target) {
        WindowBoundary([target] { target->Notified(); });
        target->EndNotify();
      }
      return 0;
    }
    case WM_CLOSE_ORPHAN:
      DestroyWindow(hwnd);
      return 0;
    case WM_RUN_TASK: {
      std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lp));
      WindowBoundary([&task] {
        if (task && *task) (*task)();
      });
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void EnsureClass() {
  std::lock_guard lock(GClassLock);
  if (GClassAtom) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = NotifyWindowProc;
  wc.hInstance = ModuleHandle();
  wc.lpszClassName = kClassName;
  GClassAtom = RegisterClassExW(&wc);
  if (!GClassAtom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) GClassAtom = 1;
}

}  // namespace

TNotifyWindow::TNotifyWindow(INotifyTarget* target) : FLink(std::make_shared<TLink>()) {
  FLink->Target = target;
  EnsureClass();
  FWindow = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleHandle(), nullptr);
  if (!FWindow)
    throw EOleError(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                    L"Не удалось создать окно уведомлений драйвера");
  // Nothing is posted before the link is in place: the poster needs Window.
  SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TLinkHolder(FLink)));
  ModuleAddRef();
  FLink->Poster.Attach(FWindow);
  FThread = GetCurrentThreadId();
}

TNotifyWindow::~TNotifyWindow() {
  {
    std::lock_guard lock(FLink->Lock);
    FLink->Target = nullptr;
  }
  if (GetCurrentThreadId() == FThread)
    DestroyWindow(FWindow);
  else
    PostMessageW(FWindow, WM_CLOSE_ORPHAN, 0, 0);
}

std::function<void()> TNotifyWindow::Poster() const {
  std::weak_ptr<TLink> weak = FLink;
  return [weak] {
    auto link = weak.lock();
    if (!link || link->Pending.exchange(true)) return;
    if (!link->Poster.Post(WM_NOTIFY_ARRIVED)) link->Pending = false;
  };
}

bool TNotifyWindow::PostTask(std::function<void()> task) const {
  auto* heap = new std::function<void()>(std::move(task));
  if (FLink->Poster.Post(WM_RUN_TASK, 0, reinterpret_cast<LPARAM>(heap))) return true;
  return false;  // kept on purpose: see the header
}

void UnregisterNotifyWindowClass() {
  std::lock_guard lock(GClassLock);
  if (GClassAtom) UnregisterClassW(kClassName, ModuleHandle());
  GClassAtom = 0;
}
