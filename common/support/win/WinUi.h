#pragma once
// The window layer of both programs: a thin home-grown layer over Win32 and
// the common controls. Include this header to build a window.
//
// A form is a class derived from TForm (through TMyForm, which applies the
// user's saved font) with a static layout table and member handlers:
//
//   class TfmExample : public TMyForm {
//    public:
//     TfmExample();
//     void btnGoClick();
//     TButton* btnGo;
//     TMemo* Memo;
//   };
//
//   static const TFormDef kForm = [] {
//     TFormDef d;
//     d.Caption = L"Пример";
//     d.ClientWidth = 400;
//     d.ClientHeight = 300;
//     d.BorderStyle = bsSingle;
//     d.Position = poScreenCenter;
//     return d;
//   }();
//   static const TCtlDef kLayout[] = {
//     {TKind::Memo, FORM_FIELD(TfmExample, Memo), L"", 8, 8, 300, 284, akAll, {.Flags = cfReadOnly}},
//     {TKind::Button, FORM_FIELD(TfmExample, btnGo), L"Пуск", 316, 8, 75, 25, akTop | akRight,
//      &TfmExample::btnGoClick, {.Flags = cfDefault}},
//   };
//   TfmExample::TfmExample() : TMyForm(kForm, kLayout) { BindFields(*this, kLayout); }
//
// Each row names its control by the form's member (FORM_FIELD), which the
// constructor's BindFields fills; a row without one names it by text.
//
// Rules the layer keeps:
// - Table order is creation order, child-index order and tab order.
// - Anchors: a control keeps its distance to the anchored edges of its
//   parent when the parent is resized (both edges: it stretches; none: it
//   stays centred). Align (alTop ... alClient) fills the parent instead.
// - Every handler that a window message starts (clicks, changes, OnShow
//   during a click, timers, posted messages) runs inside
//   Application().Guard: an exception it lets out is shown by the
//   application's error display (message box with the title, MB_ICONERROR)
//   and the program goes on. Calls made from code (Click(), SetChecked(),
//   SelectCell()) let the exception through to the caller.
// - Enter presses the focused push button, else the form's default button
//   (cfDefault); Esc presses the cancel button (cfCancel). Tab / Shift+Tab
//   move between tab stops, through panels and page forms inside panels.
// - ShowModal() returns the ModalResult that a button (Opts.ModalResult) or
//   code set; closing a modal form gives mrCancel. Application().OnModalStart
//   lets tests look at a modal form and close it.
// - Workers post WM_USER + n to the window through a TWindowPoster (which
//   posts nothing once the window has detached it); SetMessageHandler()
//   binds them. A TWindowWorkerHost gives a worker (TWorkerThread) its COM
//   apartment and wakes the window's loop for its Synchronize calls; the
//   queue of those calls, and the wait that keeps serving them, are the
//   portable TWorkerHost's (untWorker.h).
// - Message boxes (Application().ShowMessageBox, the default error display)
//   belong to the program as a whole: every other window of the window
//   thread is disabled while one is up, so no click can wait for a worker
//   whose question is on screen.
// - Hints (Opts.Hint, SetHint) show as tooltips on windowed controls and
//   tool buttons; the form relays the mouse to one tooltip window.
// - Picture buttons: a push button with Opts.Glyph shows a small picture
//   drawn in code (WinGlyphs.h) beside its caption, greyed while disabled.
// - Labels, form captions and progress bars skip updates that change nothing
//   on screen: a label already waiting for its paint is not invalidated
//   again, a progress bar passes on only a position that moves its bar.
// - Accessibility (WinAccessible.h): every windowed control answers
//   WM_GETOBJECT with an IAccessible whose source is the control itself
//   (TWinControl : TAccSource; a kind says its role, value and whether a
//   label names it). A container lists its controls in tab order, windowless
//   labels as simple elements; a tool bar lists its buttons by their hints;
//   the string grid is a table of row objects and cells, and raises focus and
//   selection events for its cursor. An input control is named by the label
//   before or beside it, or by Opts.AccName where the layout has none. A label
//   raises a name-change event only when it asks for a paint, so a loop that
//   updates it thousands of times a second costs clients nothing more. The
//   system's accessibility library is loaded only when a client first asks.
// - Tests replace the error display (SetErrorDisplay), message boxes
//   (SetMessageBoxHook) and file dialogs (SetFileDialogHook) with recorders.
// - Fonts: every control follows its parent's font until it gets its own
//   (Opts.Font or SetFont); TMyForm puts the user's saved font on the form.
//   Pitch = fpFixed keeps column listings aligned where the named face is
//   missing.
// - Check and radio buttons: SetChecked() in code runs OnClick when the state
//   changes, as a click does; the stored state (cfChecked) runs nothing.
// - TStringGrid keeps its own cells or shows a TGridSource (only the rows on
//   screen are asked for). With cfGridEditing the current non-fixed cell
//   always carries the editor and typing goes into the cell at once; Up,
//   Down, PgUp, PgDn move rows from inside it. ClientWidth(), ColWidths(),
//   GridLineWidth() give what a column-fitting calculation needs.
#include "WinApp.h"
#include "WinComCtrls.h"
#include "WinControl.h"
#include "WinDialogs.h"
#include "WinForm.h"
#include "WinGlyphs.h"
#include "WinGraphic.h"
#include "WinGrid.h"
#include "WinHandles.h"
#include "WinLayout.h"
#include "WinPoster.h"
#include "WinStdCtrls.h"
#include "WinToolBar.h"
#include "WinTypes.h"
#include "WinWorker.h"
