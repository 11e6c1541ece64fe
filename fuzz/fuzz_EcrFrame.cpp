// Frames come from other processes over UDP: decoding must refuse anything
// malformed without harm, and a frame it accepts must encode back to the very
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "untEcrFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  ecr::TFrame frame;
  if (ecr::DecodeFrame(bytes, frame) != 0) return 0;
  std::string again;
  if (ecr::EncodeFrame(frame, again) != 0 || again != bytes) std::abort();
  if (ecr::FrameHex(bytes).size() != bytes.size() * 3 - 1) std::abort();
  return 0;
}
