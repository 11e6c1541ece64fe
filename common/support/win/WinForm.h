#pragma once
// TForm: a window built from a stored layout (TFormDef + a TCtlDef table).
// A form is a top-level window, or a child inside a container once it is
// given a parent (the driver test program's pages live inside a panel).
#include <windows.h>

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "WinContainer.h"
#include "WinLayout.h"
#include "untError.h"

class TButton;

// The stored state of a form.
struct TFormDef {
  std::wstring Caption;
  int ClientWidth = 0, ClientHeight = 0;
  TFormBorderStyle BorderStyle = bsSizeable;
  TBorderIcons BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition Position = poDesigned;
  int Left = 0, Top = 0;
  TColor Color = clBtnFace;
  TFontDef Font;
  // Outer size; used instead of the client size when set.
  int Width = 0, Height = 0;
};

class TForm : public TContainer {
 protected:
  // With the font to use instead of the definition's (a font the user saved),
  // so that the controls are made with it at once.
  TForm(const TFormDef& def, std::span<const TCtlDef> layout, const TFontDef& screenFont);

 public:
  TForm(const TFormDef& def, std::span<const TCtlDef> layout);
  ~TForm() override;

  // The form's font of the definition at the screen's resolution.
  static TFontDef ScreenFont(const TFormDef& def);

  std::wstring Caption() const { return Text(); }
  // A caption set again unchanged makes no call to the window server.
  void SetText(const std::wstring& text) override;
  void SetCaption(const std::wstring& caption) { SetText(caption); }

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  // Keeps the client size, so the controls stay where they were designed.
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons icons);
  void SetClientSize(int width, int height);
  // The smallest size the user may drag the window to (0: no limit).
  void SetMinSize(int width, int height);
  int MinWidth() const { return FMinWidth; }
  int MinHeight() const { return FMinHeight; }
  // A form given a container becomes a child window inside it.
  void SetParent(TContainer* parent) override;
  // The window this one stays above (a top-level form only).
  void SetOwnerWindow(HWND owner);
  // Moves a top-level form beside `other` (right of it, else left of it,
  // else as far right as the screen allows), so that both stay in view.
  void PlaceBeside(HWND other);

  // A key pressed anywhere in the form, before the focused control and the
  // dialog keys see it (F6, Ctrl+C, ...); true: the form used it.
  std::function<bool(WORD key, TShiftState shift)> OnShortCut;
  std::function<void()> OnShow;
  std::function<void()> OnHide;
  std::function<void(TCloseAction&)> OnClose;

  // Runs OnClose; a modal form ends with mrCancel; the main form ends the
  // program. An exception from OnClose reaches the caller and the form stays.
  void Close();
  TModalResult ShowModal();
  bool Modal() const { return FModal; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult result) { FModalResult = result; }

  // The buttons that Enter and Esc press.
  TButton* DefaultButton() const;
  TButton* CancelButton() const;
  // The control that gets the focus when the form is shown or activated.
  void SetActiveControl(TWinControl* control);

  // A control of the layout by name, of the expected class.
  TControl* FindControl(std::wstring_view name) const;
  template <class C>
  C* Ctl(std::wstring_view name) const {
    C* c = dynamic_cast<C*>(FindControl(name));
    if (!c) throw Exception(L"Нет элемента " + std::wstring(name) + L" нужного вида");
    return c;
  }
  // Every control the layout created, in creation order (all levels).
  const std::vector<std::unique_ptr<TControl>>& Components() const { return FComponents; }
  // Takes ownership of a control created in code (after the layout).
  template <class C>
  C* Own(std::unique_ptr<C> control) {
    C* raw = control.get();
    FComponents.push_back(std::move(control));
    return raw;
  }

  // The tooltip of the form's controls, made the first time one is needed.
  HWND HintWindow();

  // A timer of this window; the handler runs guarded on the window thread.
  void StartTimer(UINT id, UINT milliseconds, std::function<void()> handler);
  void StopTimer(UINT id);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void VisibleChanged() override;

 private:
  // One member a message; WndProc only unpacks. True: handled, no default.
  void OnCloseRequest();
  bool OnDialogKey(WORD id);
  LRESULT OnGetDefId();
  bool OnActivate(bool active, bool minimized);
  bool OnGetMinMaxInfo(MINMAXINFO& info);
  bool OnTimer(UINT id);
  void OnDestroy();
  void ApplyStyles(int clientWidth, int clientHeight);
  void FocusFirst();
  bool PressButton(TButton* button);
  TFormBorderStyle FBorderStyle;
  TBorderIcons FBorderIcons;
  TPosition FPosition;
  int FMinWidth = 0, FMinHeight = 0;
  bool FModal = false;
  TModalResult FModalResult = mrNone;
  HWND FLastFocus = nullptr;
  TWinControl* FActiveControl = nullptr;
  std::vector<std::unique_ptr<TControl>> FComponents;
  std::vector<std::pair<UINT, std::function<void()>>> FTimers;
  HWND FHintWindow = nullptr;
};

// Builds the controls of a layout table on a form (used by TForm's constructor).
void BuildLayout(TForm& form, std::span<const TCtlDef> layout,
                 std::vector<std::unique_ptr<TControl>>& components);
// Fills the form's members that the table's rows name (FORM_FIELD) with the
// controls made for them. The derived form's constructor calls it first, once
// the form is of its own class. Raises Exception for a member of another kind.
void BindFields(TForm& form, std::span<const TCtlDef> layout);
