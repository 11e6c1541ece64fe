#include "WinToolBar.h"

#include <algorithm>

#include "WinApp.h"
#include "WinHandles.h"

// ---------------------------------------------------------------- TImageList

TImageList::TImageList(int width, int height)
    : FList(ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4)), FWidth(width), FHeight(height) {}

TImageList::~TImageList() {
  if (FList) ImageList_Destroy(FList);
}

int TImageList::Count() const { return FList ? ImageList_GetImageCount(FList) : 0; }

int TImageList::AddMasked(HBITMAP bitmap, COLORREF mask) {
  return FList ? ImageList_AddMasked(FList, bitmap, mask) : -1;
}

// ---------------------------------------------------------------- TToolButton

TToolButton::TToolButton(const TCreateArgs& args, TToolBar& bar, int imageIndex)
    : TControl(args), FBar(bar), FImageIndex(imageIndex), FCommandId(bar.FNextId++) {
  FBar.AddButton(this);
}

TToolButton::~TToolButton() { FBar.RemoveButton(this); }

void TToolButton::EnabledChanged() {
  FBar.Perform(TB_ENABLEBUTTON, static_cast<WPARAM>(FCommandId), MAKELONG(Enabled() ? TRUE : FALSE, 0));
}

// ---------------------------------------------------------------- TToolBar

TToolBar::TToolBar(const TCreateArgs& args, bool flat) : TWinControl(args) {
  // Placed by its container like every other control, not by itself.
  DWORD style = CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER | TBSTYLE_TRANSPARENT;
  if (flat) style |= TBSTYLE_FLAT;
  CreateHandle(TOOLBARCLASSNAMEW, style, 0, false);
  Perform(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
}

void TToolBar::SetImages(std::unique_ptr<TImageList> images) {
  FImages = std::move(images);
  if (FImages) {
    Perform(TB_SETBITMAPSIZE, 0, MAKELONG(FImages->Width(), FImages->Height()));
    Perform(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(FImages->Handle()));
  } else {
    Perform(TB_SETIMAGELIST, 0, 0);
  }
  Invalidate();
}

void TToolBar::AddButton(TToolButton* button) {
  TBBUTTON b{};
  b.iBitmap = button->ImageIndex();
  b.idCommand = button->CommandId();
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = BTNS_BUTTON;
  Perform(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&b));
  FButtons.push_back(button);
}

void TToolBar::RemoveButton(TToolButton* button) {
  auto it = std::find(FButtons.begin(), FButtons.end(), button);
  if (it == FButtons.end()) return;
  const LRESULT index = Perform(TB_COMMANDTOINDEX, static_cast<WPARAM>(button->CommandId()));
  if (index >= 0) Perform(TB_DELETEBUTTON, static_cast<WPARAM>(index));
  FButtons.erase(it);
}

RECT TToolBar::ButtonRect(const TToolButton& button) const {
  RECT r{};
  Perform(TB_GETRECT, static_cast<WPARAM>(button.CommandId()), reinterpret_cast<LPARAM>(&r));
  return r;
}

bool TToolBar::Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_COMMAND) {
    const int id = LOWORD(wp);
    for (TToolButton* b : FButtons) {
      if (b->CommandId() != id) continue;
      Application().Guard([b] { b->Click(); });
      result = 0;
      return true;
    }
  }
  return TWinControl::Reflect(msg, wp, lp, result);
}

bool TToolBar::HasHints() const {
  return std::any_of(FButtons.begin(), FButtons.end(), [](const TToolButton* b) { return !b->Hint().empty(); });
}

void TToolBar::AddHintTools(HWND tooltip) {
  for (TToolButton* b : FButtons) {
    if (b->Hint().empty()) continue;
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = Handle();
    ti.uId = static_cast<UINT_PTR>(b->CommandId());
    ti.rect = ButtonRect(*b);
    ti.lpszText = const_cast<wchar_t*>(b->Hint().c_str());
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

// ---------------------------------------------------------------- pictures

namespace {

constexpr COLORREF kMask = RGB(255, 0, 255);

void Box(HDC dc, int l, int t, int r, int b, COLORREF fill, COLORREF frame) {
  TBrushHandle brush(CreateSolidBrush(fill));
  TPenHandle pen(CreatePen(PS_SOLID, 1, frame));
  TSelectObject sb(dc, brush.Get());
  TSelectObject sp(dc, pen.Get());
  Rectangle(dc, l, t, r, b);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color) {
  TPenHandle pen(CreatePen(PS_SOLID, 1, color));
  TSelectObject sp(dc, pen.Get());
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// An open folder.
void DrawOpen(HDC dc, int x) {
  Box(dc, x + 1, 4, x + 13, 14, RGB(232, 196, 96), RGB(128, 96, 0));
  Box(dc, x + 1, 2, x + 7, 5, RGB(232, 196, 96), RGB(128, 96, 0));
  POINT flap[] = {{x + 3, 7}, {x + 15, 7}, {x + 13, 14}, {x + 1, 14}};
  TBrushHandle brush(CreateSolidBrush(RGB(250, 222, 130)));
  TPenHandle pen(CreatePen(PS_SOLID, 1, RGB(128, 96, 0)));
  TSelectObject sb(dc, brush.Get());
  TSelectObject sp(dc, pen.Get());
  Polygon(dc, flap, 4);
}

// A diskette.
void DrawSave(HDC dc, int x) {
  Box(dc, x + 1, 1, x + 15, 15, RGB(40, 70, 150), RGB(0, 0, 80));
  Box(dc, x + 4, 1, x + 12, 7, RGB(240, 240, 240), RGB(0, 0, 80));
  Box(dc, x + 4, 10, x + 12, 15, RGB(180, 180, 180), RGB(0, 0, 80));
  Line(dc, x + 9, 2, x + 9, 6, RGB(0, 0, 80));
}

// Two sheets side by side with arrows between them.
void DrawCompare(HDC dc, int x) {
  Box(dc, x + 0, 1, x + 6, 15, RGB(255, 255, 255), RGB(64, 64, 64));
  Box(dc, x + 10, 1, x + 16, 15, RGB(255, 255, 255), RGB(64, 64, 64));
  for (int y : {4, 7, 10}) {
    Line(dc, x + 1, y, x + 5, y, RGB(0, 0, 160));
    Line(dc, x + 11, y, x + 15, y, RGB(0, 0, 160));
  }
  const COLORREF arrow = RGB(0, 128, 0);
  Line(dc, x + 6, 5, x + 10, 5, arrow);
  Line(dc, x + 8, 3, x + 10, 5, arrow);
  Line(dc, x + 8, 7, x + 10, 5, arrow);
  Line(dc, x + 6, 11, x + 10, 11, arrow);
  Line(dc, x + 6, 11, x + 8, 9, arrow);
  Line(dc, x + 6, 11, x + 8, 13, arrow);
}

}  // namespace

std::unique_ptr<TImageList> CreateFileToolImages() {
  constexpr int kSize = 16, kCount = 3;
  auto list = std::make_unique<TImageList>(kSize, kSize);
  HDC screen = GetDC(nullptr);
  TMemDC dc(CreateCompatibleDC(screen));
  TBitmapHandle bmp(CreateCompatibleBitmap(screen, kSize * kCount, kSize));
  ReleaseDC(nullptr, screen);
  {
    TSelectObject sel(dc.Get(), bmp.Get());
    TBrushHandle back(CreateSolidBrush(kMask));
    RECT all{0, 0, kSize * kCount, kSize};
    FillRect(dc.Get(), &all, back.Get());
    DrawOpen(dc.Get(), 0);
    DrawSave(dc.Get(), kSize);
    DrawCompare(dc.Get(), 2 * kSize);
  }
  list->AddMasked(bmp.Get(), kMask);
  return list;
}
