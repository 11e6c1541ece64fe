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
  // The answering runs inside the driver's event; it takes the pages' driver
  // lock for its whole sequence, so a background reading of another page
  // never sees its properties changed half-way.
  class TLockedAnswerer : public TCommandAnswerer {
   public:
    TLockedAnswerer(TPage& page, TLogSink log) : TCommandAnswerer(std::move(log)), FPage(page) {}
    void DriverCommand(TDriver& driver, int32_t commandId) override;

   private:
    TPage& FPage;
  };

  void ShowHeader();
  void FormShow();
  void FormHide();
  TLockedAnswerer FAnswerer;
};
