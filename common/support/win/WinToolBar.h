#pragma once
// Tool bar with picture buttons, and the image list that holds the pictures.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "WinControl.h"

// Pictures of one size; owns the system image list.
class TImageList {
 public:
  TImageList(int width, int height);
  ~TImageList();
  TImageList(const TImageList&) = delete;
  TImageList& operator=(const TImageList&) = delete;
  HIMAGELIST Handle() const { return FList; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const;
  // Adds the pictures side by side in the bitmap; pixels of the mask colour
  // are transparent. Returns the index of the first one.
  int AddMasked(HBITMAP bitmap, COLORREF mask);

 private:
  HIMAGELIST FList;
  int FWidth, FHeight;
};

class TToolBar;

// One button of a tool bar: a picture from the bar's images, a hint shown as
// a tooltip, OnClick. It has no window of its own.
class TToolButton : public TControl {
 public:
  TToolButton(const TCreateArgs& args, TToolBar& bar, int imageIndex);
  ~TToolButton() override;
  int ImageIndex() const { return FImageIndex; }
  int CommandId() const { return FCommandId; }
  TToolBar& ToolBar() const { return FBar; }

 protected:
  void EnabledChanged() override;

 private:
  TToolBar& FBar;
  int FImageIndex;
  int FCommandId;
};

class TToolBar : public TWinControl {
 public:
  // flat: buttons drawn without a frame until the mouse is over them.
  TToolBar(const TCreateArgs& args, bool flat);
  // Takes the pictures over; the buttons show them by index.
  void SetImages(std::unique_ptr<TImageList> images);
  const TImageList* Images() const { return FImages.get(); }
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TToolButton* Buttons(int index) const { return FButtons.at(static_cast<size_t>(index)); }
  // Client rectangle of a button (empty when it is not on the bar).
  RECT ButtonRect(const TToolButton& button) const;

  // The buttons as children, named by their hints.
  long AccChildCount() override { return ButtonCount(); }
  bool AccDescribe(long child, TAccNode& node) override;
  bool AccDoDefaultAction(long child) override;

 protected:
  long AccRole() const override { return ROLE_SYSTEM_TOOLBAR; }
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void AddHintTools(HWND tooltip) override;
  bool HasHints() const override;

 private:
  friend class TToolButton;
  void AddButton(TToolButton* button);
  void RemoveButton(TToolButton* button);
  std::unique_ptr<TImageList> FImages;
  std::vector<TToolButton*> FButtons;
  int FNextId = 100;
};

// The pictures of the dump viewer's bar (open, save, compare, differences),
// drawn in code, 16 x 16 each.
std::unique_ptr<TImageList> CreateFileToolImages();
