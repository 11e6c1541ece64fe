#pragma once
// The declarative layout of a form: one TCtlDef per control, in tab order.
//
//   static const TCtlDef kLayout[] = {
//     {TKind::ListBox, L"ListBox", L"", 8, 8, 129, 377, akLeft | akTop | akBottom, &TfmMain::ListBoxClick},
//     {TKind::Button, L"btnClose", L"Закрыть", 536, 395, 75, 25, akRight | akBottom,
//      &TfmMain::btnCloseClick, {.Flags = cfCancel}},
//     {TKind::Memo, L"Memo", L"", 8, 8, 377, 375, akAll, {.Flags = cfReadOnly, .Font = &kFixedFont}},
//   };
//
// Positions are left, top, width, height in pixels within the parent's client
// area (the form, or the container named in Opts.Parent, which must come
// earlier in the table). The handler is bound to the kind's main event:
// OnClick for buttons, check and radio buttons, labels, images, panels and
// list boxes (selection changed, by mouse or keyboard) and tool buttons
// (whose Opts.Parent names their tool bar); OnChange for edits,
// memos, combo boxes, up-downs and date-time pickers. Other events are set on
// the control in the form's constructor.
#include <cstddef>

#include "WinTypes.h"

class TForm;

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
enum TButtonGlyph { bgNone, bgOpen, bgSave, bgCompare, bgRead, bgWrite, bgClear, bgTable, bgField, bgInit };

struct TCtlOpts {
  unsigned Flags = 0;
  const TFontDef* Font = nullptr;  // a font of its own instead of the parent's
  TColor Color = clDefault;
  const wchar_t* Parent = nullptr;  // container name; the form when empty
  int ItemHeight = 0;               // owner-draw list box
  const wchar_t* Items = nullptr;   // list and combo box items, separated by '\n'
  TModalResult ModalResult = mrNone;
  int Min = 0, Max = 0, Position = 0;  // up-down, progress bar (Max 0: 100)
  const wchar_t* Associate = nullptr;  // up-down: the edit it steps
  TBevelShape Shape = bsFrame;           // bevel
  int ColCount = 0, RowCount = 0, FixedCols = 1, FixedRows = 1;  // grid
  int ColWidth = 0, RowHeight = 0;     // grid defaults (64 and 24 when 0)
  TAlign Align = alNone;
  const wchar_t* Hint = nullptr;       // tooltip (windowed controls, tool buttons)
  int ImageIndex = -1;                 // tool button: picture of the bar's image list
  unsigned GridOptions = 0;            // grid: TGridOption set; 0: from the flags, lines everywhere
  int MaxLength = 0;                   // edit: at most this many characters (0: no limit)
  TButtonGlyph Glyph = bgNone;         // push button: a picture beside the caption
};

using TMethod = void (TForm::*)();

struct TCtlDef {
  TKind Kind;
  const wchar_t* Name;
  const wchar_t* Text;
  int Left, Top, Width, Height;
  TAnchors Anchors = akLeftTop;
  TMethod Handler = nullptr;
  TCtlOpts Opts;

  TCtlDef(TKind kind, const wchar_t* name, const wchar_t* text, int l, int t, int w, int h,
          TAnchors anchors = akLeftTop, TCtlOpts opts = {})
      : Kind(kind), Name(name), Text(text), Left(l), Top(t), Width(w), Height(h), Anchors(anchors),
        Opts(opts) {}
  // The handler is a member function of the form class that owns the table.
  template <class F>
  TCtlDef(TKind kind, const wchar_t* name, const wchar_t* text, int l, int t, int w, int h,
          TAnchors anchors, void (F::*handler)(), TCtlOpts opts = {})
      : Kind(kind), Name(name), Text(text), Left(l), Top(t), Width(w), Height(h), Anchors(anchors),
        Handler(static_cast<TMethod>(handler)), Opts(opts) {}
};
