#pragma once
// Page "Команды": while it is shown, this program answers the catalogue
// requests meant for other stations with the catalogue's defaults, in its own
// name, and logs one line per answer under the header of its text area.
#include "untCommandAnswer.h"
#include "untPages.h"

class TfmCommands : public TPage {
 public:
  TfmCommands();
  void btnClearClick();

  TMemo* Memo;
  TButton* btnClear;

  const TCommandAnswerer& Answerer() const { return FAnswerer; }

 private:
  void ShowHeader();
  void FormShow();
  void FormHide();
  TCommandAnswerer FAnswerer;
};
