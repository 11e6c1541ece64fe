#pragma once
// Common controls (up-down, progress bar, date-time picker) and the plain
// containers (panel, group box).
#include <functional>

#include "WinControl.h"
#include "untVariant.h"  // TDateTime

class TUpDown : public TWinControl {
 public:
  explicit TUpDown(const TCreateArgs& args);
  // The edit whose number the arrows step; the up-down sits at its right.
  void SetAssociate(TWinControl* edit);
  int Min() const;
  int Max() const;
  void SetRange(int min, int max);
  int Position() const;
  void SetPosition(int position);
  std::function<void()> OnChange;  // after an arrow changed the position

 protected:
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(const TCreateArgs& args);
  void SetRange(int min, int max);
  int Max() const;
  int Position() const;
  void SetPosition(int position);
};

// Date or time of day (Kind), as an automation date-time value.
class TDateTimePicker : public TWinControl {
 public:
  enum TKindDT { dtkDate, dtkTime };
  TDateTimePicker(const TCreateArgs& args, TKindDT kind);
  TKindDT Kind() const { return FKind; }
  TDateTime DateTime() const;
  void SetDateTime(TDateTime value);
  std::function<void()> OnChange;

 protected:
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  TKindDT FKind;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TContainer {
 public:
  explicit TPanel(const TCreateArgs& args, TBevelCut bevel = bvNone);
  TBevelCut BevelOuter() const { return FBevel; }
  void SetBevelOuter(TBevelCut bevel);

 protected:
  void PaintBackground(HDC dc, const RECT& clip) override;
  void TextChanged() override;

 private:
  TBevelCut FBevel;
};

class TGroupBox : public TContainer {
 public:
  explicit TGroupBox(const TCreateArgs& args);

 protected:
  void PaintBackground(HDC dc, const RECT& clip) override;
  RECT AlignRect() const override;
  void TextChanged() override;
};
