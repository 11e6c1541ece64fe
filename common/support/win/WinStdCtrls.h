#pragma once
// Wrappers of the standard controls: push button, check box, radio button,
// edit, memo, list box, combo box.
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "WinControl.h"
#include "WinLayout.h"  // TButtonGlyph

class TImageList;

class TButton : public TWinControl {
 public:
  explicit TButton(const TCreateArgs& args);
  ~TButton() override;
  // Enter presses the default button, Esc the cancel button of the form.
  bool Default() const { return FDefault; }
  void SetDefault(bool value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool value) { FCancel = value; }
  // Given to the form when the button is clicked (closes a modal form).
  TModalResult ModalResult = mrNone;
  void Click() override;
  // A picture beside the caption (bgNone: the caption alone), greyed while
  // the button is disabled. The version 6 common controls draw it, which the
  // programs' manifests ask for; older ones show the caption alone.
  TButtonGlyph Glyph() const { return FGlyph; }
  void SetGlyph(TButtonGlyph glyph);
  // The control took the picture and shows it.
  bool GlyphShown() const;

 protected:
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  HBRUSH CtlColor(HDC dc) override;
  long AccRole() const override { return ROLE_SYSTEM_PUSHBUTTON; }
  std::wstring AccActionName() const override { return L"Нажать"; }

 private:
  bool FDefault = false;
  bool FCancel = false;
  TButtonGlyph FGlyph = bgNone;
  std::unique_ptr<TImageList> FGlyphImages;
};

// Buttons disabled for an operation lose the keyboard focus. Note() the ones
// that are about to be disabled; GiveBack() puts the focus on a button again
// when one of them had it, unless the user has put it elsewhere (or gone to
// another window) meanwhile, so that Enter works again where it did.
class TFocusKeeper {
 public:
  void Note(std::initializer_list<TButton*> buttons);
  // To `to`, or to the noted button that had the focus.
  void GiveBack(TButton* to = nullptr);

 private:
  TButton* FHadFocus = nullptr;
  std::vector<TButton*> FNoted;
};

// Check box and radio button: a click toggles (radio: sets, and clears the
// other radio buttons of the same container), then runs OnClick. Setting
// Checked in code does the same when the state changes.
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(const TCreateArgs& args, bool radio = false);
  bool Checked() const;
  void SetChecked(bool value);

 protected:
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  HBRUSH CtlColor(HDC dc) override;
  long AccRole() const override { return FRadio ? ROLE_SYSTEM_RADIOBUTTON : ROLE_SYSTEM_CHECKBUTTON; }
  long AccExtraState() const override { return Checked() ? STATE_SYSTEM_CHECKED : 0; }
  std::wstring AccActionName() const override { return FRadio ? L"Выбрать" : L"Переключить"; }

 private:
  bool FRadio;
};

class TRadioButton : public TCheckBox {
 public:
  explicit TRadioButton(const TCreateArgs& args) : TCheckBox(args, true) {}
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(const TCreateArgs& args);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  void SetMaxLength(int length);
  void SelectAll();
  std::function<void()> OnChange;

 protected:
  TEdit(const TCreateArgs& args, DWORD style);
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  TColor DefaultColor() const override { return clWindow; }
  long AccRole() const override { return ROLE_SYSTEM_TEXT; }
  bool AccNamedByLabel() const override { return true; }
  std::wstring AccValue() const override { return Text(); }
  long AccExtraState() const override { return FReadOnly ? STATE_SYSTEM_READONLY : 0; }

 private:
  bool FReadOnly = false;
};

// A multi-line edit with the lines the program adds. Tab and Esc leave it for
// the form (next control, cancel button); Enter starts a new line unless it is
// read-only, when it presses the default button.
class TMemo : public TEdit {
 public:
  explicit TMemo(const TCreateArgs& args, bool scrollBars = false, bool wordWrap = true);
  void Clear();
  void Add(const std::wstring& line);
  // Several lines in one edit of the control.
  void AddLines(const std::wstring* lines, size_t count);
  void AddLines(const std::vector<std::wstring>& lines) { AddLines(lines.data(), lines.size()); }
  std::vector<std::wstring> Lines() const;
  int LineCount() const { return static_cast<int>(Lines().size()); }
  void SetLines(const std::vector<std::wstring>& lines);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

class TListBox : public TWinControl {
 public:
  explicit TListBox(const TCreateArgs& args, int ownerDrawItemHeight = 0);
  int Count() const;
  std::wstring Item(int index) const;
  void Add(const std::wstring& text);
  void Clear();
  int ItemIndex() const;
  void SetItemIndex(int index);  // no OnClick, as with a selection made in code
  int ItemHeight() const;
  // Redraws once after a batch of changes.
  void BeginUpdate();
  void EndUpdate();

 protected:
  long AccRole() const override { return ROLE_SYSTEM_LIST; }
  bool AccNamedByLabel() const override { return true; }
  std::wstring AccValue() const override { return ItemIndex() >= 0 ? Item(ItemIndex()) : std::wstring(); }
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  TColor DefaultColor() const override { return clWindow; }

 private:
  void DrawItem(const DRAWITEMSTRUCT& item);
  int FUpdateCount = 0;
};

// A drop-down list (no typing). The height is that of the closed box; the
// open list gets room for about a dozen items.
class TComboBox : public TWinControl {
 public:
  explicit TComboBox(const TCreateArgs& args);
  int Count() const;
  std::wstring Item(int index) const;
  void Add(const std::wstring& text);
  void Clear();
  int ItemIndex() const;
  void SetItemIndex(int index);
  std::function<void()> OnChange;

 protected:
  long AccRole() const override { return ROLE_SYSTEM_COMBOBOX; }
  bool AccNamedByLabel() const override { return true; }
  std::wstring AccValue() const override { return Text(); }
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  TColor DefaultColor() const override { return clWindow; }
  void ApplyBounds() override;
  void SyncBounds(const RECT& r) override;
};
