#pragma once
// TContainer: a window that holds controls (form, panel). It keeps them in
// child-index order, lays them out by Align and Anchors when it is resized,
// and paints its graphic controls and passes them their clicks.
#include <functional>
#include <vector>

#include "WinControl.h"

class TContainer : public TWinControl {
 public:
  ~TContainer() override;
  // The controls placed directly on this container, in child-index order.
  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int index) const { return FControls.at(index); }
  // Lays the controls out again by Align and Anchors.
  void Realign();
  void DisableAlign() { ++FAlignLock; }
  void EnableAlign();
  std::function<void()> OnResize;

  // The controls as children (WinAccessible.h), in tab order.
  long AccChildCount() override { return ControlCount(); }
  bool AccDescribe(long child, TAccNode& node) override;
  IDispatch* AccChildObject(long child) override;
  long AccFocus() override;
  // The text of the label that names `control` (empty when none does): the
  // label right before it in tab order, else the caption of the check or
  // radio button right before it, else a label beside it on its left.
  std::wstring AccLabelOf(const TControl& control) const;

 protected:
  explicit TContainer(const TCreateArgs& args) : TWinControl(args) {}
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void FontChanged() override;
  // Background and frame; graphic controls are painted after it.
  virtual void PaintBackground(HDC dc, const RECT& clip);
  // The area Align distributes.
  virtual RECT AlignRect() const;
  static constexpr const wchar_t* kPanelClass = L"PloverPanel";

 private:
  friend class TControl;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  TGraphicControl* GraphicAt(POINT pt) const;
  void PaintGraphics(HDC dc, const RECT& clip, bool screenPaint);
  std::vector<TControl*> FControls;
  int FAlignLock = 0;
  TGraphicControl* FMouseDown = nullptr;
};
