#pragma once
// Memory dump devices of the virtual cash register: how many blocks each
// holds and the bytes of each block. The data is a pure function of device
// and block number, so a dump read twice compares equal.
#include <cstdint>
#include <string>

namespace ecr {

constexpr int32_t kDumpDeviceCount = 6;

// 0 for a device number outside 1..6.
int32_t DumpBlockCount(int32_t device);
// Bytes of one block in the device's own size; empty when out of range.
std::string DumpBlock(int32_t device, int32_t block);
int32_t DumpBlockSize(int32_t device);

}  // namespace ecr
