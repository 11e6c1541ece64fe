#pragma once
// The dump viewer's list of differences from a file: one row a range, with
// its offset, length and the first bytes of each side. Choosing a row shows
// those bytes in the viewer; F6 and Shift+F6 step to the next and previous.
#include <functional>
#include <memory>
#include <string>

#include "MyForm.h"
#include "untDumpDiff.h"

class TfmDiff : public TMyForm {
 public:
  TfmDiff();
  ~TfmDiff() override;

  // The differences of the viewer's bytes (which stay the viewer's) and the
  // file's, which the list keeps to show its rows.
  void ShowDiff(const std::string& data, std::string file, const std::wstring& fileName);
  // The viewer's bytes changed: the list no longer applies.
  void Clear();
  const TDumpDiff& Diff() const { return FDiff; }
  // Puts the list on the row of difference `index` without choosing it.
  void MarkRow(size_t index);

  std::function<void(size_t index)> OnChoose;  // the user chose a row
  std::function<void(bool back)> OnStep;       // F6, Shift+F6

  TLabel* lblSummary;
  TStringGrid* Grid;

 private:
  class TSource;
  std::unique_ptr<TSource> FSource;
  const std::string* FData = nullptr;
  std::string FFile;
  TDumpDiff FDiff;
  bool FMarking = false;
};
