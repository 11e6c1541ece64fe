#include "WinGlyphs.h"

#include <cstdint>
#include <cstring>

#include "WinHandles.h"

namespace {

void Box(HDC dc, int l, int t, int r, int b, COLORREF fill, COLORREF frame) {
  TBrushHandle brush(CreateSolidBrush(fill));
  TPenHandle pen(CreatePen(PS_SOLID, 1, frame));
  TSelectObject sb(dc, brush.Get());
  TSelectObject sp(dc, pen.Get());
  Rectangle(dc, l, t, r, b);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color, int width = 1) {
  TPenHandle pen(CreatePen(PS_SOLID, width, color));
  TSelectObject sp(dc, pen.Get());
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

void Shape(HDC dc, const POINT* points, int count, COLORREF fill, COLORREF frame) {
  TBrushHandle brush(CreateSolidBrush(fill));
  TPenHandle pen(CreatePen(PS_SOLID, 1, frame));
  TSelectObject sb(dc, brush.Get());
  TSelectObject sp(dc, pen.Get());
  Polygon(dc, points, count);
}

constexpr COLORREF kInk = RGB(0, 0, 160);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kEdge = RGB(64, 64, 64);

// A sheet with three lines of text.
void Sheet(HDC dc, int x, int y, int width) {
  Box(dc, x, y, x + width, y + 15, RGB(255, 255, 255), kEdge);
  for (int row : {4, 7, 10}) Line(dc, x + 2, y + row, x + width - 2, y + row, kInk);
}

// A table: a frame, a blue title row and a grid of cells.
void Grid(HDC dc, int x, int y) {
  Box(dc, x, y + 1, x + 16, y + 15, RGB(255, 255, 255), kEdge);
  Box(dc, x, y + 1, x + 16, y + 5, RGB(90, 120, 200), kEdge);
  for (int col : {5, 10}) Line(dc, x + col, y + 5, x + col, y + 15, kEdge);
  for (int row : {8, 11}) Line(dc, x + 1, y + row, x + 15, y + row, kEdge);
}

// An arrow pointing down, its tip at (x, y).
void ArrowDown(HDC dc, int x, int y) {
  const POINT head[] = {{x - 3, y - 3}, {x + 3, y - 3}, {x, y}};
  Shape(dc, head, 3, kGreen, kGreen);
  Line(dc, x, y - 9, x, y - 3, kGreen, 2);
}

// A pencil lying from the top right to its point at the bottom left.
void Pencil(HDC dc, int x, int y) {
  const POINT body[] = {{x + 4, y + 9}, {x + 12, y + 1}, {x + 15, y + 4}, {x + 7, y + 12}};
  Shape(dc, body, 4, RGB(240, 200, 40), RGB(128, 96, 0));
  const POINT tip[] = {{x + 4, y + 9}, {x + 7, y + 12}, {x + 2, y + 14}};
  Shape(dc, tip, 3, RGB(232, 196, 150), RGB(128, 96, 0));
}

void DrawOpen(HDC dc, int x, int y) {
  Box(dc, x + 1, y + 4, x + 13, y + 14, RGB(232, 196, 96), RGB(128, 96, 0));
  Box(dc, x + 1, y + 2, x + 7, y + 5, RGB(232, 196, 96), RGB(128, 96, 0));
  const POINT flap[] = {{x + 3, y + 7}, {x + 15, y + 7}, {x + 13, y + 14}, {x + 1, y + 14}};
  Shape(dc, flap, 4, RGB(250, 222, 130), RGB(128, 96, 0));
}

void DrawSave(HDC dc, int x, int y) {
  Box(dc, x + 1, y + 1, x + 15, y + 15, RGB(40, 70, 150), RGB(0, 0, 80));
  Box(dc, x + 4, y + 1, x + 12, y + 7, RGB(240, 240, 240), RGB(0, 0, 80));
  Box(dc, x + 4, y + 10, x + 12, y + 15, RGB(180, 180, 180), RGB(0, 0, 80));
  Line(dc, x + 9, y + 2, x + 9, y + 6, RGB(0, 0, 80));
}

// Two sheets side by side with arrows between them.
void DrawCompare(HDC dc, int x, int y) {
  Box(dc, x + 0, y + 1, x + 6, y + 15, RGB(255, 255, 255), kEdge);
  Box(dc, x + 10, y + 1, x + 16, y + 15, RGB(255, 255, 255), kEdge);
  for (int row : {4, 7, 10}) {
    Line(dc, x + 1, y + row, x + 5, y + row, kInk);
    Line(dc, x + 11, y + row, x + 15, y + row, kInk);
  }
  Line(dc, x + 6, y + 5, x + 10, y + 5, kGreen);
  Line(dc, x + 8, y + 3, x + 10, y + 5, kGreen);
  Line(dc, x + 8, y + 7, x + 10, y + 5, kGreen);
  Line(dc, x + 6, y + 11, x + 10, y + 11, kGreen);
  Line(dc, x + 6, y + 11, x + 8, y + 9, kGreen);
  Line(dc, x + 6, y + 11, x + 8, y + 13, kGreen);
}

// Two sheets whose differing lines are marked red, one under the other.
void DrawDifferences(HDC dc, int x, int y) {
  const COLORREF red = RGB(210, 30, 30);
  Box(dc, x + 0, y + 1, x + 7, y + 15, RGB(255, 255, 255), kEdge);
  Box(dc, x + 9, y + 1, x + 16, y + 15, RGB(255, 255, 255), kEdge);
  for (int row : {4, 7, 10, 12}) {
    const COLORREF ink = row == 7 || row == 12 ? red : kInk;
    Line(dc, x + 1, y + row, x + 6, y + row, ink);
    Line(dc, x + 10, y + row, x + 15, y + row, ink);
  }
}

void DrawRead(HDC dc, int x, int y) {
  Sheet(dc, x + 1, y + 1, 10);
  ArrowDown(dc, x + 12, y + 15);
}

void DrawWrite(HDC dc, int x, int y) {
  Sheet(dc, x + 1, y + 1, 11);
  Pencil(dc, x, y);
}

// A red cross.
void DrawClear(HDC dc, int x, int y) {
  const COLORREF red = RGB(200, 30, 30);
  Line(dc, x + 3, y + 3, x + 13, y + 13, red, 3);
  Line(dc, x + 13, y + 3, x + 3, y + 13, red, 3);
}

void DrawTable(HDC dc, int x, int y) { Grid(dc, x, y); }

// The table with its middle column picked out.
void DrawField(HDC dc, int x, int y) {
  Grid(dc, x, y);
  Box(dc, x + 5, y + 5, x + 11, y + 15, RGB(255, 230, 90), RGB(160, 96, 0));
}

// The table with a green circle of arrows: set back to its start.
void DrawInit(HDC dc, int x, int y) {
  Grid(dc, x, y);
  TPenHandle pen(CreatePen(PS_SOLID, 2, kGreen));
  TSelectObject sp(dc, pen.Get());
  TSelectObject nb(dc, GetStockObject(NULL_BRUSH));
  Arc(dc, x + 4, y + 5, x + 13, y + 14, x + 13, y + 9, x + 8, y + 5);
  const POINT head[] = {{x + 11, y + 8}, {x + 15, y + 8}, {x + 13, y + 11}};
  Shape(dc, head, 3, kGreen, kGreen);
}

}  // namespace

void DrawGlyph(HDC dc, int x, int y, TButtonGlyph glyph) {
  switch (glyph) {
    case bgNone: break;
    case bgOpen: DrawOpen(dc, x, y); break;
    case bgSave: DrawSave(dc, x, y); break;
    case bgCompare: DrawCompare(dc, x, y); break;
    case bgRead: DrawRead(dc, x, y); break;
    case bgWrite: DrawWrite(dc, x, y); break;
    case bgClear: DrawClear(dc, x, y); break;
    case bgTable: DrawTable(dc, x, y); break;
    case bgField: DrawField(dc, x, y); break;
    case bgInit: DrawInit(dc, x, y); break;
    case bgDifferences: DrawDifferences(dc, x, y); break;
  }
}

std::unique_ptr<TImageList> CreateButtonGlyphImages(TButtonGlyph glyph) {
  // In the order of the push button states, PBS_NORMAL (1) to PBS_STYLUSHOT (6).
  constexpr int kStates = 6, kDisabled = 3;
  constexpr int kWidth = kGlyphSize * kStates;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kGlyphSize;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  TBitmapHandle bmp(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  auto list = std::make_unique<TImageList>(kGlyphSize, kGlyphSize);
  if (!bmp.Get() || !bits) return list;
  {
    TMemDC dc(CreateCompatibleDC(nullptr));
    TSelectObject sel(dc.Get(), bmp.Get());
    TBrushHandle back(CreateSolidBrush(kGlyphMask));
    RECT all{0, 0, kWidth, kGlyphSize};
    FillRect(dc.Get(), &all, back.Get());
    DrawGlyph(dc.Get(), 0, 0, glyph);
    GdiFlush();
  }
  auto* pixels = static_cast<uint32_t*>(bits);
  const uint32_t mask = (GetRValue(kGlyphMask) << 16) | (GetGValue(kGlyphMask) << 8) | GetBValue(kGlyphMask);
  for (int row = 0; row < kGlyphSize; ++row) {
    uint32_t* line = pixels + row * kWidth;
    for (int state = 1; state < kStates; ++state) {
      uint32_t* to = line + state * kGlyphSize;
      std::memcpy(to, line, kGlyphSize * sizeof(uint32_t));
      if (state != kDisabled) continue;
      for (int i = 0; i < kGlyphSize; ++i) {
        const uint32_t p = to[i] & 0xFFFFFF;
        if (p == mask) continue;
        const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        // Light grey of the picture's own brightness, never the mask colour.
        const uint32_t v = 128 + (r * 30 + g * 59 + b * 11) / 200;
        to[i] = (v << 16) | (v << 8) | v;
      }
    }
  }
  list->AddMasked(bmp.Get(), kGlyphMask);
  return list;
}
