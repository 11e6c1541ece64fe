#pragma once
// An in-memory dialog template: the settings dialog is laid out in code, so
// the DLL carries no dialog resource to keep in step with it.
#include <windows.h>

#include <cstdint>
#include <vector>

class TDlgTemplate {
 public:
  enum class TKind : WORD { Button = 0x0080, Edit = 0x0081, Static = 0x0082, ComboBox = 0x0085 };

  // Dialog units; the font is the shell dialog font.
  TDlgTemplate(const wchar_t* title, short cx, short cy);
  void Add(TKind kind, WORD id, const wchar_t* text, short x, short y, short cx, short cy, DWORD style);
  // Items added from now on stand dy units lower than their y says: the rows
  // below a group that grew keep their own coordinates.
  void MoveDown(short dy) { FShiftY = static_cast<short>(FShiftY + dy); }
  // Items added from now on stand dx units right of and dy units below where
  // their coordinates say: a group laid out for one column goes to another.
  void Offset(short dx, short dy) {
    FShiftX = dx;
    FShiftY = dy;
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(FData.data()); }

 private:
  void PutWord(WORD w) { FData.push_back(w); }
  void PutDword(DWORD d);
  void PutText(const wchar_t* text);
  void AlignDword();

  // WORDs, so the start is WORD-aligned; items start on DWORD boundaries,
  // which the allocator's alignment makes boundaries in memory as well.
  std::vector<WORD> FData;
  size_t FCountAt = 0;
  short FShiftX = 0;
  short FShiftY = 0;
};
