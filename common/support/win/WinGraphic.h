#pragma once
// Controls without a window: label, bevel, shape, image. Their container
// paints them in creation order and passes clicks to them.
#include <functional>

#include "WinControl.h"
#include "WinLayout.h"  // TBevelShape

class TLabel : public TGraphicControl {
 public:
  // A label created without a width sizes itself to its text.
  explicit TLabel(const TCreateArgs& args);
  bool AutoSize() const { return FAutoSize; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  // The same text again changes nothing and costs nothing.
  void SetText(const std::wstring& text) override;
  void Paint(HDC dc) override;

 protected:
  void FontChanged() override;
  void TextChanged() override;

 private:
  void AdjustSize();
  UINT DrawFlags() const;
  bool FAutoSize;
  TAlignment FAlignment = taLeftJustify;
};

class TBevel : public TGraphicControl {
 public:
  TBevel(const TCreateArgs& args, TBevelShape shape);
  TBevelShape Shape() const { return FShape; }
  void Paint(HDC dc) override;

 private:
  TBevelShape FShape;
};

// A rectangle: filled with the brush colour, framed with the pen colour.
class TShape : public TGraphicControl {
 public:
  explicit TShape(const TCreateArgs& args);
  TColor BrushColor = clWhite;
  TColor PenColor = clBlack;
  void Paint(HDC dc) override;
};

// A picture drawn by code (OnPaint gets the control's rectangle).
class TImage : public TGraphicControl {
 public:
  explicit TImage(const TCreateArgs& args) : TGraphicControl(args) {}
  std::function<void(HDC dc, const RECT& rect)> OnPaint;
  void Paint(HDC dc) override;
};
