#pragma once
// Frames of the network of cash registers and computers: the bytes that
// travel, and the hex text CommandCadrHex shows.
//
//   02 LL LL DD SS TT CC QQ [II NN data...]... XX
//   STX, length of DD..last parameter byte (little-endian), destination,
//   source, type (0 request, 1 answer), command code, sequence number, then
//   each parameter as property identifier, data length, data; XX is the XOR
//   of every byte from the first length byte to the last parameter byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "untEcrProps.h"

namespace ecr {

constexpr uint8_t kStx = 0x02;
constexpr size_t kFrameOverhead = 9;   // STX, 2 length bytes, 5 header bytes, checksum
constexpr size_t kMaxFrameSize = 4096;

struct TFrameParam {
  int32_t DispId;
  TVariant Value;  // the property's declared type; EncodeFrame converts any other
};

struct TFrame {
  uint8_t Dst = 0;
  uint8_t Src = 0;
  uint8_t Type = 0;  // 0 request, 1 answer
  uint8_t Code = 0;
  uint8_t Seq = 0;   // a repeated request keeps its number; 0 means none
  std::vector<TFrameParam> Params;
};

// The frame's parameters: each listed property's value taken from the bag.
std::vector<TFrameParam> ParamsFromBag(const TPropBag& bag, const std::vector<int32_t>& ids);

// Result code 0; kBadValue when a parameter's value is of another type than
// its property and does not convert to it (a value that converts, such as the
// text "1" for an integer, goes out converted); kFrameTooLong when a text is
// longer than 255 bytes or the frame longer than kMaxFrameSize.
int32_t EncodeFrame(const TFrame& frame, std::string& bytes);
// Result code 0 or kBadFrame (framing, length, checksum, unknown property,
// data length that does not fit the property's type).
int32_t DecodeFrame(std::string_view bytes, TFrame& frame);

// The first sequence number of a new station. Each station starts elsewhere, so
// that a station made anew (a program restarted, a desk re-created) is not
// taken for a repeat of the last request its predecessor sent.
uint8_t FirstSequenceNumber();
// The number after seq, skipping 0 (which marks "none").
inline uint8_t NextSequenceNumber(uint8_t seq) { return static_cast<uint8_t>(seq >= 255 ? 1 : seq + 1); }

// "02 1A 00 ..." : two upper-case digits a byte, one blank between.
std::wstring FrameHex(std::string_view bytes);

}  // namespace ecr
