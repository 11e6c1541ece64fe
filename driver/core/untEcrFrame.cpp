#include "untEcrFrame.h"

#include <atomic>
#include <chrono>
#include <cstring>

#include "untEcrResults.h"
#include "untError.h"
#include "untText.h"

namespace ecr {

namespace {

void PutLe(std::string& out, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint64_t GetLe(std::string_view in, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[static_cast<size_t>(i)]);
  return v;
}

uint64_t DoubleBits(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

double BitsDouble(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// The value in the property's own type, converted as automation converts it
// when it came in another one. False when it does not convert (a text that is
// no number, a number beyond the type's range): reading the raw field of a
// value of another type would send 0 in its place.
bool AsKind(TPropKind kind, const TVariant& value, TVariant& out) {
  const TVarType type = VarTypeOfKind(kind);
  if (value.Type() == type) {
    out = value;
    return true;
  }
  try {
    out = VarAsType(value, type);
    return true;
  } catch (const EOleError&) {
    return false;
  }
}

bool EncodeValue(TPropKind kind, const TVariant& value, std::string& data) {
  switch (kind) {
    case TPropKind::I4: PutLe(data, static_cast<uint32_t>(value.Int()), 4); return true;
    case TPropKind::CY: PutLe(data, static_cast<uint64_t>(value.Currency()), 8); return true;
    case TPropKind::R8:
    case TPropKind::DT: PutLe(data, DoubleBits(value.Double()), 8); return true;
    case TPropKind::BOOL: data.push_back(value.Bool() ? 1 : 0); return true;
    case TPropKind::STR: {
      std::string ansi = WideToAnsi(value.Str());
      if (ansi.size() > 255) return false;
      data += ansi;
      return true;
    }
  }
  return false;
}

bool DecodeValue(TPropKind kind, std::string_view data, TVariant& value) {
  switch (kind) {
    case TPropKind::I4:
      if (data.size() != 4) return false;
      value = TVariant::FromInt(static_cast<int32_t>(static_cast<uint32_t>(GetLe(data, 4))));
      return true;
    case TPropKind::CY:
      if (data.size() != 8) return false;
      value = TVariant::FromCurrency(static_cast<int64_t>(GetLe(data, 8)));
      return true;
    case TPropKind::R8:
      if (data.size() != 8) return false;
      value = TVariant::FromDouble(BitsDouble(GetLe(data, 8)));
      return true;
    case TPropKind::DT:
      if (data.size() != 8) return false;
      value = TVariant::FromDate(BitsDouble(GetLe(data, 8)));
      return true;
    case TPropKind::BOOL:
      if (data.size() != 1 || static_cast<unsigned char>(data[0]) > 1) return false;
      value = TVariant::FromBool(data[0] != 0);
      return true;
    case TPropKind::STR: value = TVariant::FromStr(AnsiToWide(data)); return true;
  }
  return false;
}

}  // namespace

std::vector<TFrameParam> ParamsFromBag(const TPropBag& bag, const std::vector<int32_t>& ids) {
  std::vector<TFrameParam> params;
  params.reserve(ids.size());
  for (int32_t id : ids) params.push_back({id, bag.Get(id)});
  return params;
}

int32_t EncodeFrame(const TFrame& frame, std::string& bytes) {
  std::string body;
  body.push_back(static_cast<char>(frame.Dst));
  body.push_back(static_cast<char>(frame.Src));
  body.push_back(static_cast<char>(frame.Type));
  body.push_back(static_cast<char>(frame.Code));
  body.push_back(static_cast<char>(frame.Seq));
  for (const auto& p : frame.Params) {
    TPropKind kind;
    if (!PropKindOf(p.DispId, kind) || p.DispId > 255) return kBadFrame;
    TVariant value;
    if (!AsKind(kind, p.Value, value)) return kBadValue;
    std::string data;
    if (!EncodeValue(kind, value, data)) return kFrameTooLong;
    body.push_back(static_cast<char>(p.DispId));
    body.push_back(static_cast<char>(data.size()));
    body += data;
  }
  if (body.size() + 4 > kMaxFrameSize) return kFrameTooLong;
  bytes.clear();
  bytes.push_back(static_cast<char>(kStx));
  PutLe(bytes, body.size(), 2);
  bytes += body;
  uint8_t x = 0;
  for (size_t i = 1; i < bytes.size(); ++i) x ^= static_cast<uint8_t>(bytes[i]);
  bytes.push_back(static_cast<char>(x));
  return kOk;
}

int32_t DecodeFrame(std::string_view bytes, TFrame& frame) {
  if (bytes.size() < kFrameOverhead || static_cast<uint8_t>(bytes[0]) != kStx) return kBadFrame;
  size_t len = GetLe(bytes.substr(1, 2), 2);
  if (len < 5 || len + 4 != bytes.size()) return kBadFrame;
  uint8_t x = 0;
  for (size_t i = 1; i + 1 < bytes.size(); ++i) x ^= static_cast<uint8_t>(bytes[i]);
  if (x != static_cast<uint8_t>(bytes.back())) return kBadFrame;
  std::string_view body = bytes.substr(3, len);
  TFrame f;
  f.Dst = static_cast<uint8_t>(body[0]);
  f.Src = static_cast<uint8_t>(body[1]);
  f.Type = static_cast<uint8_t>(body[2]);
  f.Code = static_cast<uint8_t>(body[3]);
  f.Seq = static_cast<uint8_t>(body[4]);
  size_t pos = 5;
  while (pos < body.size()) {
    if (body.size() - pos < 2) return kBadFrame;
    auto id = static_cast<uint8_t>(body[pos]);
    auto n = static_cast<uint8_t>(body[pos + 1]);
    pos += 2;
    if (body.size() - pos < n) return kBadFrame;
    TPropKind kind;
    if (!PropKindOf(id, kind)) return kBadFrame;
    TVariant value;
    if (!DecodeValue(kind, body.substr(pos, n), value)) return kBadFrame;
    f.Params.push_back({id, std::move(value)});
    pos += n;
  }
  frame = std::move(f);
  return kOk;
}

uint8_t FirstSequenceNumber() {
  static std::atomic<uint32_t> next{static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count())};
  return static_cast<uint8_t>(1 + next.fetch_add(89) % 255);
}

std::wstring FrameHex(std::string_view bytes) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out;
  out.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out.push_back(L' ');
    auto b = static_cast<uint8_t>(bytes[i]);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

}  // namespace ecr
