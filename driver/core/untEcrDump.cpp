#include "untEcrDump.h"

#include "untText.h"

namespace ecr {

namespace {

struct TDumpDevice {
  int32_t Blocks;
  int32_t BlockSize;
};

// 1 fiscal memory store, 2 clock, 3 non-volatile memory, 4 fiscal memory
// processor, 5 program memory, 6 working memory.
const TDumpDevice kDevices[kDumpDeviceCount] = {
    {2048, 64}, {4, 16}, {512, 64}, {64, 32}, {8192, 128}, {1024, 64},
};

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// A short text the program memory carries at the start of some blocks, the way
// real firmware holds its messages.
const std::string& Banner() {
  static const std::string banner = WideToAnsi(L"ККМ ПЛОВЕР, ПО 1.6, ОШИБОК НЕТ. ");
  return banner;
}

}  // namespace

int32_t DumpBlockCount(int32_t device) {
  if (device < 1 || device > kDumpDeviceCount) return 0;
  return kDevices[device - 1].Blocks;
}

int32_t DumpBlockSize(int32_t device) {
  if (device < 1 || device > kDumpDeviceCount) return 0;
  return kDevices[device - 1].BlockSize;
}

std::string DumpBlock(int32_t device, int32_t block) {
  if (block < 0 || block >= DumpBlockCount(device)) return {};
  const int32_t size = kDevices[device - 1].BlockSize;
  std::string data(static_cast<size_t>(size), '\0');
  const auto seed = static_cast<uint32_t>(device) * 0x9E3779B1u ^ static_cast<uint32_t>(block) * 0x85EBCA77u;
  for (int32_t i = 0; i < size; ++i) {
    uint32_t r = Mix(seed + static_cast<uint32_t>(i));
    unsigned char b;
    switch (device) {
      case 1:  // fiscal records: erased cells (FF) after the written part
        b = block < 1500 ? static_cast<unsigned char>(r) : 0xFF;
        break;
      case 2:  // clock registers: small numbers
        b = static_cast<unsigned char>(r % 60);
        break;
      case 4:  // mostly zero, a few set bytes
        b = r % 5 == 0 ? static_cast<unsigned char>(r >> 8) : 0;
        break;
      default:
        b = static_cast<unsigned char>(r);
        break;
    }
    data[static_cast<size_t>(i)] = static_cast<char>(b);
  }
  if (device == 5 && block % 64 == 0) {
    const std::string& banner = Banner();
    data.replace(0, banner.size() < data.size() ? banner.size() : data.size(), banner, 0,
                 banner.size() < data.size() ? banner.size() : data.size());
  }
  return data;
}

}  // namespace ecr
