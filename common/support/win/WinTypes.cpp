#include "WinTypes.h"

COLORREF ColorToRGB(TColor color) {
  const TColor high = color & 0xFF000000u;
  if (high == clSystemColor || high == 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0x00FFFFFFu;
}

HBRUSH ColorBrush(TColor color, TBrushHandle& owner) {
  const TColor high = color & 0xFF000000u;
  if (high == clSystemColor || high == 0x80000000u) {
    owner.Reset();
    return GetSysColorBrush(static_cast<int>(color & 0xFF));
  }
  owner.Reset(CreateSolidBrush(color & 0x00FFFFFFu));
  return owner.Get();
}

// The system's dots per inch are fixed for the session; asked once.
int ScreenPixelsPerInch() {
  static const int ppi = [] {
    TClientDC dc(nullptr);
    return dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
  }();
  return ppi;
}

int ScaleToScreen(int designPixels) {
  const int ppi = ScreenPixelsPerInch();
  return ppi == 96 ? designPixels : MulDiv(designPixels, ppi, 96);
}

int TFontDef::Size() const {
  const int ppi = ScreenPixelsPerInch();
  const int h = Height < 0 ? -Height : Height;
  return MulDiv(h, 72, ppi);
}

void TFontDef::SetSize(int points) { Height = -MulDiv(points, ScreenPixelsPerInch(), 72); }

TFontHandle CreateFontFromDef(const TFontDef& font) {
  LOGFONTW lf{};
  lf.lfHeight = font.Height;
  lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = static_cast<BYTE>(font.CharSet);
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = font.Pitch == fpFixed      ? (FIXED_PITCH | FF_MODERN)
                        : font.Pitch == fpVariable ? VARIABLE_PITCH
                                                   : DEFAULT_PITCH;
  lstrcpynW(lf.lfFaceName, font.Name.c_str(), LF_FACESIZE);
  return TFontHandle(CreateFontIndirectW(&lf));
}
