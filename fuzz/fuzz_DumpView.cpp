// Dump files come from the user's disk and are compared with what was read
// from the register: the comparison must tell equal from different bytes and
// refuse other sizes, and the viewer must show every byte where it belongs.
// The first two bytes give the length of the data; the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

#include "untDumpView.h"
#include "untError.h"
#include "untText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const std::string& FileName() {
  static const std::string name = "/tmp/plover_fuzz_dump_" + std::to_string(getpid()) + ".dmp";
  return name;
}

void CheckCells(std::string_view data) {
  const int rows = DumpViewRows(data.size());
  Check(rows == static_cast<int>(data.empty() ? 1 : (data.size() + 15) / 16));
  static const char kDigits[] = "0123456789ABCDEF";
  for (int row = 1; row <= rows && row <= 4; ++row) {
    for (int col = 1; col <= kDumpViewBytesPerRow; ++col) {
      const size_t at = static_cast<size_t>(row - 1) * 16 + static_cast<size_t>(col - 1);
      const std::wstring cell = DumpViewCell(data, col, row);
      if (at >= data.size()) {
        Check(cell.empty());
      } else {
        const auto b = static_cast<unsigned char>(data[at]);
        Check(cell == std::wstring{static_cast<wchar_t>(kDigits[b >> 4]), static_cast<wchar_t>(kDigits[b & 15])});
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 2) return 0;
  const size_t length = std::min<size_t>(static_cast<size_t>(bytes[0]) << 8 | bytes[1], size - 2);
  const std::string_view data(reinterpret_cast<const char*>(bytes) + 2, length);
  const std::string_view file(reinterpret_cast<const char*>(bytes) + 2 + length, size - 2 - length);
  CheckCells(data);

  FILE* out = std::fopen(FileName().c_str(), "wb");
  Check(out != nullptr);
  Check(std::fwrite(file.data(), 1, file.size(), out) == file.size());
  Check(std::fclose(out) == 0);
  try {
    const TCompareResult result = CompareWithFile(data, AnsiToWide(FileName()));
    Check(data.size() == file.size());
    Check((result == TCompareResult::Equal) == (data == file));
  } catch (const EInOutError&) {
    std::abort();
  } catch (const Exception&) {
    Check(data.size() != file.size());
  }
  return 0;
}
