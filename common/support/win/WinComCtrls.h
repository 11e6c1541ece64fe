#pragma once
// Common controls (up-down, progress bar, date-time picker) and the plain
// container (panel).
#include <functional>
#include <string>

#include "WinContainer.h"
#include "untDateTime.h"

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

  // Named as the edit it steps.
  bool AccDescribe(long child, TAccNode& node) override;

 protected:
  bool Reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  long AccRole() const override { return ROLE_SYSTEM_SPINBUTTON; }
  std::wstring AccValue() const override { return std::to_wstring(Position()); }
};

// A progress bar of our own: it draws itself (a frame and the filled part),
// because the system's themed bar takes milliseconds for each repaint under
// some window systems, and a reading of thousands of blocks moves it
// thousands of times. Only a position that changes the filled part asks for
// a repaint.
class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(const TCreateArgs& args);
  void SetRange(int min, int max);
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  void SetPosition(int position);
  int Step() const { return FStep; }
  void SetStep(int step) { FStep = step; }
  // Advances by Step; past the maximum it starts over from the minimum, as
  // the system's progress bar does.
  void StepIt();
  // Repaints now what changed since the last repaint.
  void Update();
  // The width of the filled part in pixels.
  int FilledWidth() const;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  TColor DefaultColor() const override { return clWindow; }
  long AccRole() const override { return ROLE_SYSTEM_PROGRESSBAR; }
  std::wstring AccValue() const override;

 private:
  int FilledFor(int position) const;
  void Changed(int oldPosition);
  void Paint(HDC dc);
  int FMin = 0, FMax = 100, FPosition = 0, FStep = 1;
  bool FRepaintPending = false;
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
  long AccRole() const override { return FKind == dtkTime ? ROLE_SYSTEM_SPINBUTTON : ROLE_SYSTEM_DROPLIST; }
  bool AccNamedByLabel() const override { return true; }
  std::wstring AccValue() const override { return Text(); }

 private:
  TKindDT FKind;
};

// A plain container: the background of its controls, nothing else.
class TPanel : public TContainer {
 public:
  explicit TPanel(const TCreateArgs& args);

 protected:
  long AccRole() const override { return ROLE_SYSTEM_PANE; }
};
