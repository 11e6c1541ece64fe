#pragma once
// Base classes of the window layer.
//
//  TControl          anything placed on a form: name, bounds, anchors, font,
//                    colour, visibility, OnClick.
//  TGraphicControl   a control without a window of its own (label, bevel,
//                    shape, image); its container paints it and passes clicks.
//  TWinControl       a control with a window: standard controls are
//                    subclassed, our own classes keep `this` in GWLP_USERDATA
//                    from WM_NCCREATE on. WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*,
//                    WM_DRAWITEM and scroll messages are reflected by the
//                    parent to the child's wrapper, so a button fires its own
//                    click.
//  TContainer        a window that holds controls (WinContainer.h).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "WinAccessible.h"
#include "WinTypes.h"

class TContainer;
class TForm;

// What every control is created with (the rest is set through properties).
struct TCreateArgs {
  TContainer* Parent = nullptr;
  std::wstring Name;
  std::wstring Text;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  TAnchors Anchors = akLeftTop;
};

class TControl {
 public:
  virtual ~TControl();
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::wstring& Name() const { return FName; }
  TContainer* Parent() const { return FParent; }
  virtual void SetParent(TContainer* parent);
  // The form the control sits on (itself for a form).
  TForm* ParentForm();

  // Bounds in the parent's client coordinates. SetBounds also takes the
  // position as the origin the anchors keep when the parent is resized.
  int Left() const { return FBounds.left; }
  int Top() const { return FBounds.top; }
  int Width() const { return FBounds.right - FBounds.left; }
  int Height() const { return FBounds.bottom - FBounds.top; }
  RECT BoundsRect() const { return FBounds; }
  void SetBounds(int left, int top, int width, int height);
  void SetWidth(int w) { SetBounds(Left(), Top(), w, Height()); }
  void SetHeight(int h) { SetBounds(Left(), Top(), Width(), h); }
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors anchors);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);

  virtual std::wstring Text() const { return FText; }
  virtual void SetText(const std::wstring& text);

  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);
  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent up to the top window visible as well.
  bool Showing() const;

  // Controls follow their parent's font until they are given their own.
  bool ParentFont() const { return FParentFont; }
  const TFontDef& Font() const;
  virtual void SetFont(const TFontDef& font);
  HFONT FontHandle() const;
  // Background colour; clDefault means the parent's (or the class's) colour.
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  TColor EffectiveColor() const;
  TCursorKind Cursor() const { return FCursor; }
  void SetCursor(TCursorKind cursor) { FCursor = cursor; }

  std::function<void()> OnClick;
  // Runs the click (what a mouse click or BM_CLICK does); exceptions reach the caller.
  virtual void Click();

  // Shown as a tooltip while the mouse rests on the control (windowed
  // controls and tool buttons).
  const std::wstring& Hint() const { return FHint; }
  virtual void SetHint(const std::wstring& hint) { FHint = hint; }

  virtual HWND Handle() const { return nullptr; }
  virtual void Invalidate();

  // The name screen readers give the control where no label on the form
  // names it (WinAccessible.h); empty: the label's or the caption.
  const std::wstring& AccLabel() const { return FAccLabel; }
  void SetAccLabel(const std::wstring& name) { FAccLabel = name; }

 protected:
  explicit TControl(const TCreateArgs& args);
  virtual TColor DefaultColor() const;
  // The bounds changed (window moved, label grew); windowed controls move their window.
  virtual void ApplyBounds() {}
  // The effective font changed: own font set, or the parent's font for a
  // control that follows it.
  virtual void FontChanged() {}
  virtual void VisibleChanged() {}
  virtual void EnabledChanged() {}
  virtual void TextChanged() {}
  // Moves without taking a new anchor origin (layout by the container).
  void PlaceBounds(const RECT& r);
  // Forms start hidden; they say so before their window exists.
  void InitVisible(bool visible) { FVisible = visible; }
  // Takes the bounds the window really has, without moving it.
  virtual void SyncBounds(const RECT& r) { FBounds = r; }
  std::wstring FText;

 private:
  friend class TContainer;
  void RecordAnchorOrigin();
  std::wstring FName;
  TContainer* FParent = nullptr;
  RECT FBounds{};
  RECT FAnchorRect{};
  SIZE FAnchorParent{};
  TAnchors FAnchors = akLeftTop;
  TAlign FAlign = alNone;
  bool FEnabled = true;
  bool FVisible = true;
  bool FParentFont = true;
  TFontDef FFont;
  TFontHandle FOwnFont;
  TColor FColor = clDefault;
  TCursorKind FCursor = crDefault;
  std::wstring FHint;
  std::wstring FAccLabel;
};

class TGraphicControl : public TControl {
 public:
  // Paints in the parent's client coordinates (BoundsRect()).
  virtual void Paint(HDC dc) = 0;
  // Asks the container to repaint the control's area. An area already
  // waiting for its paint is not asked for again: each request is a round
  // trip to the window server, and a label updated a thousand times between
  // two paints shows only its last text anyway.
  void Invalidate() override;

 protected:
  explicit TGraphicControl(const TCreateArgs& args) : TControl(args) {}
  // Invalidate; true when it asked for a paint (none was waiting).
  bool RequestPaint();
  void ApplyBounds() override { Invalidate(); }
  void FontChanged() override { Invalidate(); }
  void VisibleChanged() override { Invalidate(); }
  void EnabledChanged() override { Invalidate(); }
  void TextChanged() override { Invalidate(); }
  friend class TContainer;
  RECT FPainted{};
  RECT FPendingPaint{};  // the area asked for and not painted since
};

class TWinControl : public TControl, public TAccSource {
 public:
  ~TWinControl() override;
  HWND Handle() const override { return FHandle; }
  // Moves the window into the new container as well.
  void SetParent(TContainer* parent) override;
  static TWinControl* FromHandle(HWND wnd);

  std::wstring Text() const override;
  int ClientWidth() const;
  int ClientHeight() const;
  bool TabStop() const;
  void SetTabStop(bool tabStop);
  void SetFocus();
  bool Focused() const;
  void Invalidate() override;
  // Sends a message to the window (tests and callers that need the raw API).
  LRESULT Perform(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;

  // Custom messages (WM_USER + n posted by workers, timers): the handler runs
  // guarded on the window thread.
  void SetMessageHandler(UINT msg, std::function<LRESULT(WPARAM, LPARAM)> handler);

  void SetHint(const std::wstring& hint) override;

  // The control as one accessible element (WinAccessible.h); containers,
  // tool bars and grids add their parts.
  bool AccDescribe(long child, TAccNode& node) override;
  long AccFocus() override;
  IDispatch* AccParent() override;
  HWND AccWindow() override { return FHandle; }
  bool AccDoDefaultAction(long child) override;
  // What screen readers call the control: its layout's name for them, else
  // its label (an input control) or its caption.
  std::wstring AccName() const;

 protected:
  explicit TWinControl(const TCreateArgs& args) : TControl(args) {}
  virtual long AccRole() const { return ROLE_SYSTEM_CLIENT; }
  // Named by the label that stands before it rather than by its own text.
  virtual bool AccNamedByLabel() const { return false; }
  virtual std::wstring AccValue() const { return {}; }
  // Checked, read-only and the like, beside what every window has.
  virtual long AccExtraState() const { return 0; }
  // What the default action does ("Нажать"); empty: none.
  virtual std::wstring AccActionName() const { return {}; }
  // Creates the window; ownClass: a class of ours (registered with
  // StaticWndProc), otherwise a system class that is subclassed.
  void CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, bool ownClass,
                    HWND parentOverride = nullptr);
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
  // A message the parent reflected to this control. True when handled.
  virtual bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // WM_CTLCOLOR*: text and background of the control.
  virtual HBRUSH CtlColor(HDC dc);
  // The tooltip areas of this window (its whole client area, when it has a
  // hint), added to the form's tooltip the first time the mouse comes.
  virtual void AddHintTools(HWND tooltip);
  virtual bool HasHints() const { return !Hint().empty(); }

  void ApplyBounds() override;
  void FontChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void TextChanged() override;

  static LRESULT CALLBACK StaticWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  static void RegisterOwnClass(const wchar_t* name, UINT classStyle = CS_DBLCLKS);

 private:
  static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  void Detach();
  void RelayHint(UINT msg, WPARAM wp, LPARAM lp);
  bool FHintToolsAdded = false;
  TAccHandle FAcc;
  HWND FHandle = nullptr;
  WNDPROC FSystemProc = nullptr;  // a subclassed system control's own procedure
  TBrushHandle FBrush;
  std::vector<std::pair<UINT, std::function<LRESULT(WPARAM, LPARAM)>>> FMessageHandlers;
};
