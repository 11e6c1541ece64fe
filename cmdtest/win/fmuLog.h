#pragma once
// "Журнал обмена": every exchange of the session, newest last, as it
// happens; saved as tab-separated text for a support case, or emptied.
#include <memory>

#include "MyForm.h"
#include "untExchangeLog.h"

namespace cmdtest {

class TfmLog : public TMyForm {
 public:
  explicit TfmLog(TExchangeLog& log);
  ~TfmLog() override;

  // Shows the rows the history holds now (the window follows it while shown).
  void Refresh();
  void btnSaveClick();
  void btnClearClick();
  void btnCloseClick();

  TStringGrid* Grid;
  TLabel* lblStatus;
  TButton* btnSave;
  TButton* btnClear;
  TButton* btnClose;

 private:
  class TSource;
  TExchangeLog& FLog;
  std::unique_ptr<TSource> FSource;
  TFileDialog FSaveDialog;
};

}  // namespace cmdtest
