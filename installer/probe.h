#pragma once
// What the probe's commands share: finding and pressing the programs' windows
// from outside, starting a program, printing a line.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct THandle {
  HANDLE H = nullptr;
  THandle() = default;
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() {
    if (H) CloseHandle(H);
  }
};

constexpr wchar_t kTstCaption[] = L"Тест ККМ";
constexpr wchar_t kClose[] = L"Закрыть";

// A line of UTF-8 on the standard output.
void PutLine(const std::wstring& text);
// Says why and gives the exit code of a probe that did not get there.
int Fail(const std::wstring& why);
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);
void Pause(int ms);
// A visible top-level window of the process whose caption starts so.
HWND WaitTop(DWORD pid, const std::wstring& caption, int timeoutMs = 30000);
HWND Child(HWND parent, const std::wstring& cls, const std::wstring& caption = {}, bool direct = false);
void Press(HWND button);
std::vector<std::wstring> ListLines(HWND list);
// Shows PloverTst's page of the list as a click on it would, and lets it draw.
void ShowPage(HWND main, HWND list, size_t index);
// The first page whose caption holds `caption`; false when there is none.
bool SelectPage(HWND main, HWND list, const std::wstring& caption);

// A program started in its own folder; ended when still running at the end.
class TProgram {
 public:
  explicit TProgram(const std::wstring& exe);
  ~TProgram();
  bool Started() const { return FProcess.H != nullptr; }
  DWORD Pid() const { return FPid; }
  // The exit code, or -1 when the program does not end in time.
  long WaitExit(int timeoutMs = 20000);

 private:
  THandle FProcess, FThread;
  DWORD FPid = 0;
};

// probe_driver.cpp
int DriverStatus();
int DriverExchange(const std::wstring& tst, int port);
