// The INI store against two common INI libraries on one file of 2,000
// sections of 25 keys: Ini<Operation>/<impl>. The peers are built only when
// their headers and libraries were found (PLOVER_INI_PEERS).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "BigIni.h"
#include "untText.h"

#ifdef PLOVER_INI_PEERS
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // Debian's header keeps the bodies behind this
#include <INIReader.h>
#include <SimpleIni.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kSections = 2000;
constexpr int kKeys = 25;

struct TKey {
  std::wstring Section, Key;
  std::string SectionA, KeyA;
};

// One file, its keys in file order and in a fixed random order.
struct TData {
  fs::path Dir, File;
  std::vector<TKey> InOrder, Shuffled;

  TData() {
    Dir = fs::temp_directory_path() / ("plover_bench_ini_" + std::to_string(getpid()));
    fs::create_directories(Dir);
    File = Dir / "source.ini";
    std::wstring text;
    for (int s = 0; s < kSections; ++s) {
      wchar_t section[32];
      std::swprintf(section, 32, L"Command%04d", s);
      text += L"[" + std::wstring(section) + L"]\r\n";
      for (int k = 0; k < kKeys; ++k) {
        wchar_t key[32], value[64];
        std::swprintf(key, 32, L"Param%02d", k);
        // Some values carry Cyrillic text, as the parameter captions do.
        std::swprintf(value, 64, k % 3 ? L"%d" : L"Значение %d.%02d", s * 100 + k, k);
        text += std::wstring(key) + L"=" + value + L"\r\n";
        InOrder.push_back({section, key, WideToAnsi(section), WideToAnsi(key)});
      }
      text += L"\r\n";
    }
    std::ofstream(File, std::ios::binary) << WideToAnsi(text);
    Shuffled = InOrder;
    std::shuffle(Shuffled.begin(), Shuffled.end(), std::mt19937(20240601));
  }
  ~TData() {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
};

const TData& Data() {
  static TData data;
  return data;
}

void CountItems(benchmark::State& state, size_t perIteration) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * perIteration));
}

// ---------------------------------------------------------------- ours

void IniLoad_ours(benchmark::State& state) {
  const std::wstring name = Data().File.wstring();
  for (auto _ : state) {
    TBigIniFile ini(name);
    benchmark::DoNotOptimize(ini.Sections().Count());
  }
}

template <const std::vector<TKey> TData::*Keys>
void IniRead_ours(benchmark::State& state) {
  TBigIniFile ini(Data().File.wstring());
  const auto& keys = Data().*Keys;
  const std::wstring none;
  for (auto _ : state)
    for (const TKey& k : keys) {
      std::wstring value = ini.ReadString(k.Section, k.Key, none);
      benchmark::DoNotOptimize(value.data());
    }
  CountItems(state, keys.size());
}

void IniSave_ours(benchmark::State& state) {
  const fs::path target = Data().Dir / "ours.ini";
  fs::copy_file(Data().File, target, fs::copy_options::overwrite_existing);
  TBigIniFile ini(target.wstring());
  int n = 0;
  for (auto _ : state) {
    ini.WriteInteger(L"Command0000", L"Param00", ++n);  // something to write
    ini.UpdateFile();
  }
}

BENCHMARK(IniLoad_ours)->Name("IniLoad/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_ours<&TData::InOrder>)->Name("IniReadAll/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_ours<&TData::Shuffled>)->Name("IniReadRandom/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(IniSave_ours)->Name("IniSave/ours")->Unit(benchmark::kMillisecond);

#ifdef PLOVER_INI_PEERS
// ---------------------------------------------------------------- inih

void IniLoad_inih(benchmark::State& state) {
  const std::string name = Data().File.string();
  for (auto _ : state) {
    INIReader reader(name);
    benchmark::DoNotOptimize(reader.ParseError());
  }
}

template <const std::vector<TKey> TData::*Keys>
void IniRead_inih(benchmark::State& state) {
  INIReader reader(Data().File.string());
  const auto& keys = Data().*Keys;
  const std::string none;
  for (auto _ : state)
    for (const TKey& k : keys) {
      std::string value = reader.Get(k.SectionA, k.KeyA, none);
      benchmark::DoNotOptimize(value.data());
    }
  CountItems(state, keys.size());
}

void IniSave_inih(benchmark::State& state) {
  for (auto _ : state) {
  }
  state.SkipWithError("inih only reads");
}

BENCHMARK(IniLoad_inih)->Name("IniLoad/inih")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_inih<&TData::InOrder>)->Name("IniReadAll/inih")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_inih<&TData::Shuffled>)->Name("IniReadRandom/inih")->Unit(benchmark::kMillisecond);
BENCHMARK(IniSave_inih)->Name("IniSave/inih");

// ---------------------------------------------------------------- simpleini

void IniLoad_simpleini(benchmark::State& state) {
  const std::string name = Data().File.string();
  for (auto _ : state) {
    CSimpleIniA ini;
    benchmark::DoNotOptimize(ini.LoadFile(name.c_str()));
  }
}

template <const std::vector<TKey> TData::*Keys>
void IniRead_simpleini(benchmark::State& state) {
  CSimpleIniA ini;
  ini.LoadFile(Data().File.string().c_str());
  const auto& keys = Data().*Keys;
  for (auto _ : state)
    for (const TKey& k : keys) benchmark::DoNotOptimize(ini.GetValue(k.SectionA.c_str(), k.KeyA.c_str(), ""));
  CountItems(state, keys.size());
}

void IniSave_simpleini(benchmark::State& state) {
  const fs::path target = Data().Dir / "simpleini.ini";
  CSimpleIniA ini;
  ini.LoadFile(Data().File.string().c_str());
  int n = 0;
  for (auto _ : state) {
    ini.SetLongValue("Command0000", "Param00", ++n);
    benchmark::DoNotOptimize(ini.SaveFile(target.string().c_str()));
  }
}

BENCHMARK(IniLoad_simpleini)->Name("IniLoad/simpleini")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_simpleini<&TData::InOrder>)->Name("IniReadAll/simpleini")->Unit(benchmark::kMillisecond);
BENCHMARK(IniRead_simpleini<&TData::Shuffled>)->Name("IniReadRandom/simpleini")->Unit(benchmark::kMillisecond);
BENCHMARK(IniSave_simpleini)->Name("IniSave/simpleini")->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
