// Rest register files come from the user's disk and their lines from an edit
// control anyone can type into: reading must refuse what is not a register
// line with a conversion error and nothing worse, and what it accepts must be
// written back as a line that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "untError.h"
#include "untRestReg.h"
#include "untText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void Line(const std::wstring& line) {
  try {
    const TRestRegister r = ParseRestRegisterLine(line);
    const std::wstring written = RestRegisterLine(r.Number, r.Value);
    Check(written.find_first_of(L"\r\n") == std::wstring::npos);
    const TRestRegister again = ParseRestRegisterLine(written);
    Check(again.Number == r.Number && again.Value == r.Value);
  } catch (const EConvertError&) {
  }
  try {
    const int32_t value = RestValueFromText(line);
    Check(RestValueFromText(RestValueText(value)) == value);
  } catch (const EConvertError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = AnsiToWide(std::string(reinterpret_cast<const char*>(data), size));
  // The file's lines, as loading splits them: none holds a line end, and
  // saving them gives a text that splits into the very same lines.
  const std::vector<std::wstring> lines = SplitLines(text);
  for (const auto& line : lines) Check(line.find_first_of(L"\r\n") == std::wstring::npos);
  Check(SplitLines(JoinLines(lines)) == lines);
  // Each refused line costs an exception: a few lines are as telling as many.
  for (size_t i = 0; i < lines.size() && i < 8; ++i) Line(lines[i]);
  return 0;
}
