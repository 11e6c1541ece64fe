#pragma once
// Files as the programs read and write them: whole, with the platform's own
// error text, and replaced whole or not at all.
#include <cstdint>
#include <string>
#include <string_view>

#include "untUniqueHandle.h"

// The whole file. Raises EInOutError ("Ошибка чтения файла ...") when it
// cannot be opened or read.
std::string ReadWholeFile(const std::wstring& name);

// Writes the bytes to a new file beside the target, "<name>.~XXXXXXXX.tmp"
// with a name no file had, makes sure they are on disk, then puts that file
// in the old one's place: a failure at any point leaves the old file as it
// was and removes only the file made here. A write-protected file refuses
// the rewrite.
// Raises EInOutError ("Ошибка записи файла ...").
void WriteWholeFile(const std::wstring& name, std::string_view bytes);

// An open file of the platform (a HANDLE on Windows, a descriptor elsewhere),
// closed once by its owner. Both mark a file that did not open with -1.
struct TFileTraits {
  static intptr_t Invalid() noexcept { return -1; }
  // False when the close reports an error (a write that failed late).
  static bool Close(intptr_t handle) noexcept;
};
using TFileHandle = TUniqueHandle<intptr_t, TFileTraits>;

// Reads a file piece by piece (comparisons that need not hold it whole).
class TFileReader {
 public:
  // Raises EInOutError when the file cannot be opened.
  explicit TFileReader(const std::wstring& name);
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;
  uint64_t Size() const { return FSize; }
  // Bytes read into buffer, 0 at the end; raises EInOutError on failure.
  size_t Read(char* buffer, size_t size);

 private:
  std::wstring FName;
  TFileHandle FHandle;
  uint64_t FSize = 0;
};

// The platform's text for an error code of the file functions.
std::wstring FileErrorText(int code);
// The code says the file or its folder does not exist.
bool IsMissingFileError(int code);
