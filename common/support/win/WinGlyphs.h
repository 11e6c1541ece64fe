#pragma once
// The small pictures of picture buttons and tool bars, drawn in code: the
// programs ship no image files, and a picture drawn with a few lines and
// boxes stays sharp at any colour depth.
#include <windows.h>

#include <memory>

#include "WinLayout.h"   // TButtonGlyph
#include "WinToolBar.h"  // TImageList

inline constexpr int kGlyphSize = 16;
// The colour that stays transparent in the glyphs' image lists.
inline constexpr COLORREF kGlyphMask = RGB(255, 0, 255);

// Paints the glyph into the 16 x 16 square at (x, y), over whatever is there.
void DrawGlyph(HDC dc, int x, int y, TButtonGlyph glyph);

// The images a push button takes for its six states (normal, hot, pressed,
// disabled, default, stylus hot): the glyph each time, greyed for the
// disabled state, so that a disabled button does not show a live picture.
std::unique_ptr<TImageList> CreateButtonGlyphImages(TButtonGlyph glyph);
