#pragma once
// TfmParams: the dialog of the command test program's settings.
#include "MyForm.h"
#include "untAppParams.h"

namespace cmdtest {

class TfmParams : public TMyForm {
 public:
  TfmParams();

  void ParamsToControls(const TAppParams& params);
  // The check boxes first; a time-out that is not a 32-bit integer then
  // raises EConvertError and leaves the time-out as it was.
  void ControlsToParams(TAppParams& params);
  void btnDefaultsClick();

  TCheckBox* chbSendAnswer;
  TCheckBox* chbWaitAnswer;
  TEdit* edtTimeout;
  TButton* btnOK;
  TButton* btnCancel;
  TButton* btnDefaults;
};

}  // namespace cmdtest
