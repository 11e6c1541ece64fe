#include "WinToolBar.h"

#include <algorithm>

#include "WinApp.h"
#include "WinGlyphs.h"
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
  DWORD style = CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
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

std::unique_ptr<TImageList> CreateFileToolImages() {
  constexpr int kSize = kGlyphSize, kCount = 4;
  auto list = std::make_unique<TImageList>(kSize, kSize);
  HDC screen = GetDC(nullptr);
  TMemDC dc(CreateCompatibleDC(screen));
  TBitmapHandle bmp(CreateCompatibleBitmap(screen, kSize * kCount, kSize));
  ReleaseDC(nullptr, screen);
  {
    TSelectObject sel(dc.Get(), bmp.Get());
    TBrushHandle back(CreateSolidBrush(kGlyphMask));
    RECT all{0, 0, kSize * kCount, kSize};
    FillRect(dc.Get(), &all, back.Get());
    DrawGlyph(dc.Get(), 0, 0, bgOpen);
    DrawGlyph(dc.Get(), kSize, 0, bgSave);
    DrawGlyph(dc.Get(), 2 * kSize, 0, bgCompare);
    DrawGlyph(dc.Get(), 3 * kSize, 0, bgDifferences);
  }
  list->AddMasked(bmp.Get(), kGlyphMask);
  return list;
}

// ---------------------------------------------------------------- accessibility

bool TToolBar::AccDescribe(long child, TAccNode& node) {
  if (child == CHILDID_SELF) return TWinControl::AccDescribe(child, node);
  if (child < 1 || child > ButtonCount()) return false;
  const TToolButton& b = *Buttons(child - 1);
  node.Role = ROLE_SYSTEM_PUSHBUTTON;
  node.Name = b.Hint();
  node.DefaultAction = L"Нажать";
  node.State = b.Enabled() ? 0 : STATE_SYSTEM_UNAVAILABLE;
  node.Screen = ButtonRect(b);
  MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&node.Screen), 2);
  return true;
}

bool TToolBar::AccDoDefaultAction(long child) {
  if (child < 1 || child > ButtonCount() || !Buttons(child - 1)->Enabled()) return false;
  TToolButton* b = Buttons(child - 1);
  Application().Guard([b] { b->Click(); });
  return true;
}
