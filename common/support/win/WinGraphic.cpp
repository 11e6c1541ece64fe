#include "WinGraphic.h"

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(const TCreateArgs& args) : TGraphicControl(args), FAutoSize(args.Width == 0) {
  AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
  FAutoSize = value;
  AdjustSize();
}

void TLabel::SetAlignment(TAlignment value) {
  FAlignment = value;
  Invalidate();
}

void TLabel::SetWordWrap(bool value) {
  FWordWrap = value;
  AdjustSize();
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustSize();
  TGraphicControl::FontChanged();
}

void TLabel::SetText(const std::wstring& text) {
  if (text != FText) TGraphicControl::SetText(text);
}

void TLabel::TextChanged() {
  AdjustSize();
  TGraphicControl::TextChanged();
}

UINT TLabel::DrawFlags() const {
  UINT flags = DT_EXPANDTABS | DT_NOPREFIX;
  if (FWordWrap) flags |= DT_WORDBREAK;
  if (FAlignment == taRightJustify) flags |= DT_RIGHT;
  if (FAlignment == taCenter) flags |= DT_CENTER;
  return flags;
}

void TLabel::AdjustSize() {
  if (!FAutoSize) return;
  const HDC screen = MeasureDC();
  TSelectObject font(screen, FontHandle());
  // An empty caption still takes the height of one line.
  const std::wstring text = FText.empty() ? std::wstring(L" ") : FText;
  RECT r{0, 0, FWordWrap ? Width() : 0, 0};
  DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  // A little room to the right: a substituted face may draw a few pixels
  // past the extent it reports, and the label's paint is clipped to it.
  const int slack = FWordWrap ? 0 : ScaleToScreen(4);
  SetBounds(Left(), Top(), FText.empty() ? 0 : r.right - r.left + slack, r.bottom - r.top);
}

void TLabel::Paint(HDC dc) {
  TSelectObject font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Enabled() ? Font().Color : clGrayText));
  RECT r = BoundsRect();
  DrawTextW(dc, FText.c_str(), static_cast<int>(FText.size()), &r, DrawFlags());
}

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(const TCreateArgs& args, TBevelShape shape, bool raised)
    : TGraphicControl(args), FShape(shape), FRaised(raised) {}

void TBevel::Paint(HDC dc) {
  RECT r = BoundsRect();
  switch (FShape) {
    case bsBox: DrawEdge(dc, &r, FRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT); break;
    case bsFrame: DrawEdge(dc, &r, FRaised ? EDGE_BUMP : EDGE_ETCHED, BF_RECT); break;
    case bsTopLine: DrawEdge(dc, &r, FRaised ? EDGE_BUMP : EDGE_ETCHED, BF_TOP); break;
    case bsBottomLine: DrawEdge(dc, &r, FRaised ? EDGE_BUMP : EDGE_ETCHED, BF_BOTTOM); break;
    case bsLeftLine: DrawEdge(dc, &r, FRaised ? EDGE_BUMP : EDGE_ETCHED, BF_LEFT); break;
    case bsRightLine: DrawEdge(dc, &r, FRaised ? EDGE_BUMP : EDGE_ETCHED, BF_RIGHT); break;
    case bsSpacer: break;
  }
}

// ---------------------------------------------------------------- TShape, TImage

TShape::TShape(const TCreateArgs& args) : TGraphicControl(args) {}

void TShape::Paint(HDC dc) {
  TPenHandle pen(CreatePen(PS_SOLID, 1, ColorToRGB(PenColor)));
  TBrushHandle brush(CreateSolidBrush(ColorToRGB(BrushColor)));
  TSelectObject selPen(dc, pen.Get());
  TSelectObject selBrush(dc, brush.Get());
  const RECT r = BoundsRect();
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void TImage::Paint(HDC dc) {
  if (OnPaint) OnPaint(dc, BoundsRect());
}
