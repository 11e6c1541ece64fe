#pragma once
// The About box of both programs: title, maker, and the lines the caller gives
// (the program's and the driver's versions).
#include <string>
#include <vector>

#include "MyForm.h"

class TfmAbout : public TMyForm {
 public:
  TfmAbout();
  void lblURLClick();
  void lblSupportMailClick();

  TLabel* NameLabel;
  TListBox* lbVersion;
  TButton* btnOK;

 private:
  static void PaintLogo(HDC dc, const RECT& rect);
};

// Shows the box modally above owner and destroys it afterwards.
void ShowAboutBox(HWND owner, const std::wstring& title, const std::vector<std::wstring>& lines);

// The maker's web address and support e-mail, as the box shows them.
extern const wchar_t* const kMakerURL;
extern const wchar_t* const kMakerSupportMail;
