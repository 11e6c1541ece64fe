#pragma once
// The application object: title, message loop with dialog-style keyboard
// navigation, "let pending window events run", message boxes and the default
// error display that every event handler runs under.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

class TForm;

class TApplication {
 public:
  // Registers the common control classes; safe to call more than once.
  void Initialize();

  std::wstring Title;

  // Shows the main form and runs the loop until it closes (or Terminate).
  void Run(TForm& mainForm);
  TForm* MainForm() const { return FMainForm; }
  void SetMainForm(TForm* form) { FMainForm = form; }
  // Runs every window event that is waiting, then returns; loops that run on
  // the window thread call it so that their stop buttons work.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return FTerminated; }

  // The form's own keys (TForm::OnShortCut), then Tab, Shift+Tab, Enter
  // (default button), Esc (cancel button) and arrows for the form the
  // message is meant for. True when the message was used.
  bool PreTranslate(MSG& msg);
  // One message of a loop: GetMessage, navigation, dispatch. False on WM_QUIT
  // (which is posted again, so outer loops see it too).
  bool HandleMessage();

  // The default error display: a message box with the title as caption and
  // the error's text. Tests put a recorder in its place. Returns the previous
  // display (empty = the message box).
  using TErrorDisplay = std::function<void(const std::wstring& text)>;
  TErrorDisplay SetErrorDisplay(TErrorDisplay display);
  void ShowException(const std::exception& e) noexcept;
  void ShowErrorText(const std::wstring& text) noexcept;

  // Runs an event handler: an exception it lets out is shown by the error
  // display and the program goes on.
  template <class Fn>
  void Guard(Fn&& fn) noexcept {
    try {
      fn();
    } catch (const std::exception& e) {
      ShowException(e);
    } catch (...) {
      ShowErrorText(L"Неизвестная ошибка");
    }
  }

  // A message box with the application title as caption: a box of the
  // program as a whole, since no window of the program takes input while it
  // is up (a question a worker waits for could otherwise be followed by a
  // click that waits for that worker). Owned by `owner`, else by the
  // program's active window, else by the main form. Tests answer them
  // through the hook instead. The default error display shows the same box.
  using TMessageBoxHook = std::function<int(const std::wstring& text, UINT flags)>;
  TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);
  int ShowMessageBox(const std::wstring& text, UINT flags = MB_OK, HWND owner = nullptr);

  // Called with the form each time a modal loop starts; tests use it to look
  // at a modal form and close it.
  std::function<void(TForm&)> OnModalStart;

 private:
  int ProgramMessageBox(HWND owner, const std::wstring& text, UINT flags);
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FInitialized = false;
  TErrorDisplay FErrorDisplay;
  TMessageBoxHook FMessageBoxHook;
};

TApplication& Application();
