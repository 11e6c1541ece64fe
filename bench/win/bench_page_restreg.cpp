// The rest register page: a list of 10,000 lines saved to a file and loaded
// back through its buttons, and "Прочитать" of every register from a driver
// that answers at once (1,000 and 10,000 registers: appending to the list
// must grow with the count, not with its square).
//
//   bench_page_restreg [runs]   (default 5)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_pages.h"
#include "ScopedCom.h"
#include "WinUi.h"
#include "fmuMain.h"
#include "fmuRestReg.h"
#include "untRestReg.h"

namespace {

using TSteady = std::chrono::steady_clock;

double Ms(TSteady::time_point a, TSteady::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Rest registers 0 .. Count-1 holding 7 times their number; beyond them the
// device's refusal. Answers at once.
class TCountingDriver : public TDriver {
 public:
  int32_t Count = 0;
  int64_t Calls = 0;

  int32_t LookupName(const std::wstring& name) override { return FindMemberByName(name)->DispId; }
  void PutById(int32_t id, const TVariant& v) override { FProps[id] = v; }
  TVariant GetById(int32_t id) override {
    if (id == dispid::RestRegister) return TVariant::FromInt(FRegister * 7);
    auto it = FProps.find(id);
    if (it != FProps.end()) return it->second;
    return VarAsType(TVariant::FromInt(0), VarTypeOfKind(FindMemberById(id)->Kind));
  }
  int32_t CallById(int32_t id) override {
    ++Calls;
    if (id != dispid::GetRestRegister) return 0;
    FRegister = FProps[dispid::RegisterNumber].Int();
    return FRegister >= 0 && FRegister < Count ? 0 : 129;
  }

 private:
  std::map<int32_t, TVariant> FProps;
  int32_t FRegister = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  bench::TProgram program;
  TCountingDriver* driver = nullptr;
  TfmMain main([&driver] {
    auto d = std::make_unique<TCountingDriver>();
    driver = d.get();
    return d;
  });
  main.Show();
  TfmRestReg* page = bench::ShowPage<TfmRestReg>(main);
  if (!page) return 1;
  main.Driver();
  bench::Pump(300);

  // Save and load of 10,000 lines.
  std::vector<std::wstring> lines;
  for (int32_t n = 0; n < 10000; ++n) lines.push_back(RestRegisterLine(n, n * 1234 - 5000000));
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / (L"bench-rest-" + std::to_wstring(GetCurrentProcessId()));
  std::filesystem::create_directories(dir);
  const std::wstring file = (dir / L"rest.txt").wstring();
  SetFileDialogHook([&](bool, TFileDialogArgs& args) {
    args.FileName = file;
    return true;
  });
  std::vector<double> saveLoad;
  bool same = true;
  for (int run = 0; run < runs; ++run) {
    page->Memo->SetText(JoinLines(lines));
    bench::Pump(50);
    const auto start = TSteady::now();
    page->btnSaveToFile->Click();
    page->btnClear->Click();
    page->btnLoadFromFile->Click();
    saveLoad.push_back(Ms(start, TSteady::now()));
    same = same && SplitLines(page->Memo->Text()) == lines;
    bench::Pump(50);
  }
  // Where the time goes: the same steps one by one.
  double controlMs = 0, ownMs = 0;
  {
    page->Memo->SetText(JoinLines(lines));
    const auto t0 = TSteady::now();
    const std::vector<std::wstring> split = SplitLines(page->Memo->Text());
    SaveRestRegisterFile(file, split);
    page->Memo->Clear();
    const std::wstring joined = JoinLines(LoadRestRegisterFile(file));
    const auto t1 = TSteady::now();
    page->Memo->SetText(joined);
    const auto t2 = TSteady::now();
    ownMs = Ms(t0, t1);
    controlMs = Ms(t1, t2);
  }
  SetFileDialogHook(nullptr);
  std::filesystem::remove_all(dir);

  // "Прочитать" with "все" of 1,000 and of 10,000 registers.
  std::map<int, std::vector<double>> reads;
  bool complete = true;
  for (int run = 0; run < runs; ++run) {
    for (int count : {1000, 10000}) {
      driver->Count = count;
      page->Memo->Clear();
      bench::Pump(50);
      const auto start = TSteady::now();
      page->btnRead->Click();
      reads[count].push_back(Ms(start, TSteady::now()));
      complete = complete && static_cast<int>(SplitLines(page->Memo->Text()).size()) == count;
    }
  }
  const double r1 = bench::Median(reads[1000]), r10 = bench::Median(reads[10000]);
  std::printf("rest register page (%zu-bit), %d runs\n", sizeof(void*) * 8, runs);
  std::printf("  10,000 lines saved and loaded back: median %.1f ms, fastest %.1f ms (goal: at most 100 ms); %s\n",
              bench::Median(saveLoad), *std::min_element(saveLoad.begin(), saveLoad.end()),
              same ? "lines identical" : "LINES DIFFER");
  std::printf("    of which the edit control taking the loaded text %.1f ms; the page's own work (list text, "
              "file written and read, lines split and joined) %.1f ms\n",
              controlMs, ownMs);
  std::printf("  read of 1,000 registers: median %.1f ms; of 10,000: median %.1f ms; ratio %.1f (goal: at most 12)%s\n",
              r1, r10, r10 / r1, complete ? "" : "; LINES MISSING");
  return 0;
}
