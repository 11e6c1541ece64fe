#include "fmuAbout.h"

#include <shellapi.h>

#include <memory>

const wchar_t* const kMakerURL = L"rzhanka.test";
const wchar_t* const kMakerSupportMail = L"support@rzhanka.test";

namespace {

TFontDef MakeFont(const wchar_t* name, int height, unsigned style, TColor color) {
  TFontDef f;
  f.Name = name;
  f.Height = height;
  f.Style = style;
  f.Color = color;
  f.CharSet = RUSSIAN_CHARSET;
  return f;
}

const TFontDef kTitleFont = MakeFont(L"Arial", -21, fsBold, clNavy);
const TFontDef kMakerFont = MakeFont(L"MS Sans Serif", -11, fsBold, clWindowText);
const TFontDef kURLFont = MakeFont(L"MS Sans Serif", -11, fsUnderline, clBlue);
const TFontDef kMailFont = MakeFont(L"MS Sans Serif", -11, 0, clBlue);

const TFormDef kForm = [] {
  TFormDef d;
  d.Caption = L"О программе";
  d.BorderStyle = bsDialog;
  d.BorderIcons = 0;
  d.ClientWidth = 335;
  d.ClientHeight = 232;
  d.Position = poScreenCenter;
  d.Font.CharSet = RUSSIAN_CHARSET;
  return d;
}();

const TCtlDef kLayout[] = {
    {TKind::Shape, L"Shape1", L"", 4, 8, 79, 177},
    {TKind::Image, L"Image", L"", 9, 16, 69, 61},
    {TKind::Label, FORM_FIELD(TfmAbout, NameLabel), L"Название программы", 88, 4, 249, 25, akLeftTop,
     {.Font = &kTitleFont}},
    {TKind::Bevel, L"bvlInfo", L"", 88, 34, 241, 57, akLeftTop, {.Bevel = {.Shape = bsFrame}}},
    {TKind::Label, L"lblFirmName", L"Разработка: ООО «Ржанка»", 93, 37, 0, 0, akLeftTop, {.Font = &kMakerFont}},
    {TKind::Label, L"lblAddress",
     L"620075, г. Екатеринбург, ул. Луговая, 12\r\nТел.: (343) 310-27-45, 310-27-46", 93, 56, 0, 0},
    {TKind::ListBox, FORM_FIELD(TfmAbout, lbVersion), L"", 88, 96, 241, 45, akLeftTop, {.Flags = cfNoTabStop,
                                                                                        .Color = clWhite}},
    {TKind::Label, L"lblWebSite", L"Наш Web-сайт:", 88, 146, 0, 0},
    {TKind::Label, L"lblURL", kMakerURL, 192, 146, 0, 0, akLeftTop, &TfmAbout::lblURLClick,
     {.Flags = cfHandPoint, .Font = &kURLFont}},
    {TKind::Label, L"lblSupport", L"Тех. поддержка:", 88, 162, 0, 0},
    {TKind::Label, L"lblSupportMail", kMakerSupportMail, 192, 162, 0, 0, akLeftTop,
     &TfmAbout::lblSupportMailClick, {.Flags = cfHandPoint, .Font = &kMailFont}},
    {TKind::Bevel, L"Bevel2", L"", 4, 190, 327, 2, akLeftTop, {.Bevel = {.Shape = bsTopLine}}},
    {TKind::Button, FORM_FIELD(TfmAbout, btnOK), L"OK", 240, 199, 89, 25, akRight | akBottom,
     {.Flags = cfDefault | cfCancel, .Button = {.ModalResult = mrOk}}},
};

void OpenWithShell(const std::wstring& target) {
  // The shell library is loaded only when a link is clicked: importing it
  // would cost every start of both programs its load time.
  // A failing request shows nothing: there is nothing the user could do about it.
  using TShellExecuteW = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  // Kept loaded once loaded: the shell may still be at work after the call returns.
  static HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return;
  auto execute = reinterpret_cast<TShellExecuteW>(
      reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
  if (execute) execute(GetDesktopWindow(), L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

TfmAbout::TfmAbout() : TMyForm(kForm, kLayout) {
  BindFields(*this, kLayout);
  Ctl<TImage>(L"Image")->OnPaint = PaintLogo;
  SetActiveControl(btnOK);
}

void TfmAbout::lblURLClick() { OpenWithShell(std::wstring(L"http://") + kMakerURL); }

void TfmAbout::lblSupportMailClick() { OpenWithShell(std::wstring(L"mailto:") + kMakerSupportMail); }

// The maker's mark: a plover over a wave, in a navy square.
void TfmAbout::PaintLogo(HDC dc, const RECT& r) {
  TBrushHandle navy(CreateSolidBrush(RGB(0x1F, 0x3A, 0x6E)));
  TPenHandle none(CreatePen(PS_NULL, 0, 0));
  TSelectObject selPen(dc, none.Get());
  {
    TSelectObject selBrush(dc, navy.Get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, 12, 12);
  }
  const int x = r.left, y = r.top;
  // Body, head and beak of the bird, facing right.
  const POINT bird[] = {{x + 12, y + 34}, {x + 24, y + 24}, {x + 38, y + 22}, {x + 46, y + 14},
                        {x + 54, y + 14}, {x + 58, y + 18}, {x + 64, y + 20}, {x + 57, y + 22},
                        {x + 54, y + 30}, {x + 44, y + 38}, {x + 28, y + 40}};
  TBrushHandle white(CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF)));
  TSelectObject selWhite(dc, white.Get());
  Polygon(dc, bird, static_cast<int>(std::size(bird)));
  // Legs and the wave it runs along.
  TPenHandle line(CreatePen(PS_SOLID, 2, RGB(0xFF, 0xFF, 0xFF)));
  TSelectObject selLine(dc, line.Get());
  MoveToEx(dc, x + 32, y + 40, nullptr);
  LineTo(dc, x + 30, y + 48);
  MoveToEx(dc, x + 38, y + 39, nullptr);
  LineTo(dc, x + 40, y + 48);
  TPenHandle wave(CreatePen(PS_SOLID, 2, RGB(0x7F, 0xC4, 0xF0)));
  TSelectObject selWave(dc, wave.Get());
  const POINT waveLine[] = {{x + 6, y + 52},  {x + 14, y + 49}, {x + 22, y + 52}, {x + 30, y + 55},
                            {x + 38, y + 52}, {x + 46, y + 49}, {x + 54, y + 52}, {x + 62, y + 55}};
  Polyline(dc, waveLine, static_cast<int>(std::size(waveLine)));
}

void ShowAboutBox(HWND owner, const std::wstring& title, const std::vector<std::wstring>& lines) {
  auto box = std::make_unique<TfmAbout>();
  box->SetOwnerWindow(owner);
  box->NameLabel->SetText(title);
  for (const auto& line : lines) box->lbVersion->Add(line);
  box->ShowModal();
}
