#pragma once
// Which properties travel in a request and in an answer of each protocol
// command, and what the virtual cash register does for it. Kept in step with
// the command catalogue of the programs (a test compares the two).
#include <cstdint>
#include <vector>

#include "untEcrDevice.h"

namespace ecr {

struct TCommandLayout {
  uint8_t Code;
  std::vector<int32_t> In;   // property dispatch identifiers, catalogue order
  std::vector<int32_t> Out;  // ends with CommandResultCode
  TEcrOp Op;                 // what the virtual cash register runs; None for "*" commands
  bool FromRegister;         // a "*" command: a cash register's request to its computer
};

// nullptr for a code outside the catalogue.
const TCommandLayout* CommandLayout(uint8_t code);
const std::vector<TCommandLayout>& CommandLayouts();

// Parameters of a frame of the given type (0 request, else answer). Codes
// outside the catalogue carry nothing in a request and the result code in an
// answer.
std::vector<int32_t> FrameParamIds(uint8_t code, bool answer);

// The properties a method of the control reads as its inputs (what the
// journal shows of a call); empty for a method without inputs.
const std::vector<int32_t>& MethodInputIds(int32_t methodDispId);

}  // namespace ecr
