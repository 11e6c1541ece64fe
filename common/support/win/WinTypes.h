#pragma once
// Value types of the window layer: colours, fonts, anchors, border styles.
#include <windows.h>

#include <cstdint>
#include <string>

#include "WinHandles.h"

// A colour as the forms store it: 0x00BBGGRR, or a system colour (high byte
// 0xFF or 0x80, the COLOR_ index in the low byte) that follows the theme.
using TColor = uint32_t;
constexpr TColor clSystemColor = 0xFF000000u;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clNavy = 0x800000, clBlue = 0xFF0000,
                 clRed = 0x0000FF, clGray = 0x808080, clSilver = 0xC0C0C0, clMaroon = 0x000080;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
// "Not set": the control takes its parent's or its class's colour.
constexpr TColor clDefault = 0x20000000u;

COLORREF ColorToRGB(TColor color);
// A brush for the colour; system colours give the shared system brush, so the
// result is only valid while the owner lives and must not be deleted.
HBRUSH ColorBrush(TColor color, TBrushHandle& owner);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
// Fixed asks the font mapper for a fixed-pitch face when the named one is
// missing (listings that align in columns stay aligned).
enum TFontPitch { fpDefault, fpFixed, fpVariable };

// A font as a form or control stores it. Height is the character height in
// pixels, negative as Windows keeps it (8 points at 96 dpi is -11).
struct TFontDef {
  std::wstring Name = L"MS Sans Serif";
  int Height = -11;
  TColor Color = clWindowText;
  int CharSet = DEFAULT_CHARSET;
  unsigned Style = 0;
  TFontPitch Pitch = fpDefault;

  int Size() const;  // points at the screen's resolution
  void SetSize(int points);
  bool operator==(const TFontDef&) const = default;
};
TFontHandle CreateFontFromDef(const TFontDef& font);
int ScreenPixelsPerInch();
// Layouts are stored in pixels of a 96-dpi screen; the program says it is
// DPI aware, so it scales them to the screen itself (no change at 96 dpi).
int ScaleToScreen(int designPixels);

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
constexpr TAnchors akLeftTop = akLeft | akTop;
constexpr TAnchors akAll = akLeft | akTop | akRight | akBottom;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify };

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = unsigned;
enum TPosition { poDesigned, poScreenCenter, poOwnerFormCenter };

// Results of a modal form; the values of the message box identifiers.
using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT,
                       mrRetry = IDRETRY, mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;

enum TCloseAction { caNone, caHide, caFree, caMinimize };

// The modifier keys held with a key (TForm::OnShortCut).
enum TShiftFlag : unsigned { ssShift = 1, ssCtrl = 2, ssAlt = 4 };
using TShiftState = unsigned;
enum TCursorKind { crDefault, crHandPoint };
