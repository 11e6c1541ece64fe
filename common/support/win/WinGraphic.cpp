#include "WinGraphic.h"

#include "WinContainer.h"

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(const TCreateArgs& args) : TGraphicControl(args), FAutoSize(args.Width == 0) {
  AdjustSize();
}

void TLabel::SetAlignment(TAlignment value) {
  FAlignment = value;
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
  // Screen readers hear of a new text at most as often as it is painted, so
  // a label a loop updates thousands of times costs them nothing more.
  if (!RequestPaint()) return;
  TContainer* parent = Parent();
  for (int i = 0; i < parent->ControlCount(); ++i)
    if (parent->Controls(i) == this) AccNotify(EVENT_OBJECT_NAMECHANGE, parent->Handle(), i + 1);
}

UINT TLabel::DrawFlags() const {
  UINT flags = DT_EXPANDTABS | DT_NOPREFIX;
  if (FAlignment == taRightJustify) flags |= DT_RIGHT;
  return flags;
}

void TLabel::AdjustSize() {
  if (!FAutoSize) return;
  const HDC screen = MeasureDC();
  TSelectObject font(screen, FontHandle());
  // An empty caption still takes the height of one line.
  const std::wstring text = FText.empty() ? std::wstring(L" ") : FText;
  RECT r{0, 0, 0, 0};
  DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &r, DrawFlags() | DT_CALCRECT);
  // A little room to the right: a substituted face may draw a few pixels
  // past the extent it reports, and the label's paint is clipped to it.
  const int slack = ScaleToScreen(4);
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

TBevel::TBevel(const TCreateArgs& args, TBevelShape shape) : TGraphicControl(args), FShape(shape) {}

void TBevel::Paint(HDC dc) {
  RECT r = BoundsRect();
  DrawEdge(dc, &r, EDGE_ETCHED, FShape == bsFrame ? BF_RECT : BF_TOP);
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
