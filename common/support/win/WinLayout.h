#pragma once
// The declarative layout of a form: one TCtlDef per control, in tab order.
//
//   static const TCtlDef kLayout[] = {
//     {TKind::ListBox, FORM_FIELD(TfmMain, ListBox), L"", 8, 8, 129, 377, akLeft | akTop | akBottom,
//      &TfmMain::ListBoxClick},
//     {TKind::Button, FORM_FIELD(TfmMain, btnClose), L"Закрыть", 536, 395, 75, 25, akRight | akBottom,
//      &TfmMain::btnCloseClick, {.Flags = cfCancel}},
//     {TKind::Bevel, L"Bevel1", L"", 8, 400, 600, 2, akLeftTop, {.Bevel = {.Shape = bsTopLine}}},
//   };
//
// Positions are left, top, width, height in pixels within the parent's client
// area (the form, or the container named in Opts.Parent, which must come
// earlier in the table). A row that names its control with FORM_FIELD fills
// that member of the form when the form's constructor calls BindFields.
//
// The handler is bound to the kind's main event: OnClick for buttons, check
// and radio buttons, labels, images, panels and list boxes (selection
// changed, by mouse or keyboard) and tool buttons (whose Opts.Parent names
// their tool bar); OnChange for edits, memos, combo boxes, up-downs and
// date-time pickers. Other events are set on the control in the form's
// constructor.
#include <cstddef>

#include "WinTypes.h"

class TForm;
class TControl;

enum class TKind {
  Button, Label, Edit, Memo, ListBox, ComboBox, CheckBox, RadioButton, UpDown, ProgressBar,
  DateTimePicker, Panel, Bevel, Shape, Image, Grid, ToolBar, ToolButton
};

enum TCtlFlag : unsigned {
  cfDefault = 0x1,        // button pressed by Enter
  cfCancel = 0x2,         // button pressed by Esc
  cfReadOnly = 0x4,       // edit, memo
  cfNoTabStop = 0x8,
  cfOwnerDraw = 0x10,     // list box drawn item by item, fixed item height
  cfChecked = 0x20,       // check box, radio button
  cfTimeKind = 0x40,      // date-time picker shows the time instead of the date
  cfHidden = 0x80,
  cfDisabled = 0x100,
  cfHandPoint = 0x400,    // hand cursor over the control
  cfScrollBars = 0x800,   // memo: both scroll bars, no word wrap
  cfGridEditing = 0x1000, // grid: non-fixed cells edited in place, editor always shown
  cfGridColSizing = 0x2000,
  cfAlignRight = 0x8000,  // label text alignment
  cfNoWordWrap = 0x100000,  // memo: long lines scroll instead of wrapping
  cfFlat = 0x200000,        // tool bar: buttons without a frame until the mouse is over them
};

// An etched frame around the control's area, or an etched line along its top.
enum TBevelShape { bsFrame, bsTopLine };

// The small picture a push button shows beside its caption (WinGlyphs.h).
enum TButtonGlyph {
  bgNone, bgOpen, bgSave, bgCompare, bgRead, bgWrite, bgClear, bgTable, bgField, bgInit, bgDifferences
};

// What only some kinds of control take.
struct TButtonOpts {
  TModalResult ModalResult = mrNone;  // given to the form when clicked
  TButtonGlyph Glyph = bgNone;        // a picture beside the caption
};
struct TEditOpts {
  int MaxLength = 0;  // at most this many characters (0: no limit)
};
struct TListOpts {                  // list box, combo box
  const wchar_t* Items = nullptr;   // separated by '\n'
  int ItemHeight = 0;               // owner-drawn list box (16 when 0)
};
struct TRangeOpts {                    // up-down, progress bar
  int Min = 0, Max = 0, Position = 0;  // Max 0: 100
  const wchar_t* Associate = nullptr;  // up-down: the edit it steps
};
struct TBevelOpts {
  TBevelShape Shape = bsFrame;
};
struct TGridOpts {
  int ColCount = 0, RowCount = 0, FixedCols = 1, FixedRows = 1;  // counts 5 when 0
  int ColWidth = 0, RowHeight = 0;                               // 64 and 24 when 0
  unsigned Options = 0;  // TGridOption set; 0: from the flags, lines everywhere
};
struct TToolOpts {
  int ImageIndex = -1;  // tool button: picture of the bar's image list
};

// A row's options: those every control takes, then one group per kind.
struct TCtlOpts {
  unsigned Flags = 0;
  const TFontDef* Font = nullptr;  // a font of its own instead of the parent's
  TColor Color = clDefault;
  const wchar_t* Parent = nullptr;  // container name; the form when empty
  TAlign Align = alNone;
  const wchar_t* Hint = nullptr;  // tooltip (windowed controls, tool buttons)
  // The name screen readers give a control that no label on the form names.
  const wchar_t* AccName = nullptr;
  TButtonOpts Button{};
  TEditOpts Edit{};
  TListOpts List{};
  TRangeOpts Range{};
  TBevelOpts Bevel{};
  TGridOpts Grid{};
  TToolOpts Tool{};
};

using TMethod = void (TForm::*)();

// The member of a form class that a row fills with the control it makes
// (TForm::BindFields), with the control's name, which is the member's own:
//   {TKind::Button, FORM_FIELD(TfmDump, btnStart), L"Начать", ...}
// A misspelt name does not compile; a member of another kind of control is
// refused when the form binds its fields.
using TFieldBinder = bool (*)(TForm& form, TControl& control);
struct TFieldRef {
  const wchar_t* Name;
  TFieldBinder Bind;
};

template <class M>
struct TFieldMember;
template <class F, class C>
struct TFieldMember<C* F::*> {
  using Form = F;
  using Control = C;
};

template <auto Member>
bool BindFormField(TForm& form, TControl& control) {
  using M = TFieldMember<decltype(Member)>;
  auto* f = dynamic_cast<typename M::Form*>(&form);
  auto* c = dynamic_cast<typename M::Control*>(&control);
  if (!f || !c) return false;
  f->*Member = c;
  return true;
}

#define FORM_FIELD(Form, name) (::TFieldRef{L"" #name, &::BindFormField<&Form::name>})

struct TCtlDef {
  TKind Kind;
  const wchar_t* Name;
  const wchar_t* Text;
  int Left, Top, Width, Height;
  TAnchors Anchors = akLeftTop;
  TMethod Handler = nullptr;
  TCtlOpts Opts;
  TFieldBinder Bind = nullptr;

  TCtlDef(TKind kind, const wchar_t* name, const wchar_t* text, int l, int t, int w, int h,
          TAnchors anchors = akLeftTop, TCtlOpts opts = {})
      : Kind(kind), Name(name), Text(text), Left(l), Top(t), Width(w), Height(h), Anchors(anchors),
        Opts(opts) {}
  TCtlDef(TKind kind, TFieldRef field, const wchar_t* text, int l, int t, int w, int h,
          TAnchors anchors = akLeftTop, TCtlOpts opts = {})
      : TCtlDef(kind, field.Name, text, l, t, w, h, anchors, opts) {
    Bind = field.Bind;
  }
  // The handler is a member function of the form class that owns the table.
  template <class F>
  TCtlDef(TKind kind, const wchar_t* name, const wchar_t* text, int l, int t, int w, int h,
          TAnchors anchors, void (F::*handler)(), TCtlOpts opts = {})
      : Kind(kind), Name(name), Text(text), Left(l), Top(t), Width(w), Height(h), Anchors(anchors),
        Handler(static_cast<TMethod>(handler)), Opts(opts) {}
  template <class F>
  TCtlDef(TKind kind, TFieldRef field, const wchar_t* text, int l, int t, int w, int h, TAnchors anchors,
          void (F::*handler)(), TCtlOpts opts = {})
      : TCtlDef(kind, field.Name, text, l, t, w, h, anchors, handler, opts) {
    Bind = field.Bind;
  }
};
