#pragma once
// Accessibility: what screen readers and automation tools see of the windows.
//
// Every windowed control answers WM_GETOBJECT (OBJID_CLIENT) with an
// accessible object (MSAA IAccessible, which UI Automation also reads
// through its proxy). The object asks its source, the control, what to say:
// child 0 is the element itself, children 1..n are its parts. A container
// (form, panel) lists its controls in tab order: a windowless one (a label)
// is a simple element of the container, a windowed one an object of its own.
// The string grid is a table: its rows are objects whose cells are simple
// elements, and each cell can also be named through the grid itself
// (TAccCells), which is what its focus and selection events name.
//
// Names: a button, check box or radio button is named by its caption; an
// input control by the label that stands before it (or beside it, as the
// layout places them), or by the name the layout gives it (Opts.AccName)
// where there is none.
//
// The system's accessibility library is loaded the first time a client asks,
// so a program nobody reads this way pays nothing at start.
#include <windows.h>

#include <oleacc.h>

#include <memory>
#include <string>

// One element as a screen reader sees it.
struct TAccNode {
  long Role = ROLE_SYSTEM_CLIENT;
  std::wstring Name;
  std::wstring Value;
  long State = 0;
  RECT Screen{};  // bounds in screen coordinates
  std::wstring DefaultAction;
};

// What an accessible object asks of what stands behind it.
class TAccSource {
 public:
  virtual ~TAccSource() = default;
  // Children 1..AccChildCount().
  virtual long AccChildCount() { return 0; }
  // False when there is no such child (any more).
  virtual bool AccDescribe(long child, TAccNode& node) = 0;
  // A child that is an object of its own (a window, a grid row), AddRef'ed;
  // nullptr for a simple element.
  virtual IDispatch* AccChildObject(long child) {
    (void)child;
    return nullptr;
  }
  // The child that has the keyboard focus: 0 itself, -1 none.
  virtual long AccFocus() { return -1; }
  // The child at a screen point: 0 itself, -1 outside.
  virtual long AccHitTest(POINT screen);
  // Does what the element's default action says; false when it has none.
  virtual bool AccDoDefaultAction(long child) {
    (void)child;
    return false;
  }
  // The object of the window the element lies in, AddRef'ed (or nullptr).
  virtual IDispatch* AccParent() { return nullptr; }
  // The window the element is, or lies in (clients ask the object for it).
  virtual HWND AccWindow() { return nullptr; }
};

// The accessible object of one source, made when first asked for. The
// source's owner keeps one and lets it go (before the source goes): calls
// that come later are answered "not connected".
class TAccHandle {
 public:
  TAccHandle() = default;
  ~TAccHandle();
  TAccHandle(const TAccHandle&) = delete;
  TAccHandle& operator=(const TAccHandle&) = delete;

  // The answer to WM_GETOBJECT for the source; 0 when there is none to give.
  LRESULT Answer(TAccSource& source, WPARAM wp);
  // The object, AddRef'ed.
  IDispatch* Object(TAccSource& source);
  // Cuts the object off its source now.
  void Disconnect();
  bool Made() const { return FObject != nullptr; }

 private:
  class TAccObject* FObject = nullptr;
};

// An object that owns its source (a grid row), AddRef'ed.
IDispatch* NewAccObject(std::unique_ptr<TAccSource> source);

// A window's accessible object (OBJID_CLIENT), AddRef'ed; nullptr when the
// system's library cannot give one.
IDispatch* AccObjectOfWindow(HWND window);

// Tells clients listening for events (EVENT_OBJECT_*) about an element of a
// window's object (child 0: the object itself).
void AccNotify(DWORD event, HWND window, long child);
