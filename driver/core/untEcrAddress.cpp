#include "untEcrAddress.h"

#include "untText.h"

namespace ecr {

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A decimal number of 1..3 digits up to max, at text[at]; moves at past it.
bool ReadNumber(std::wstring_view text, size_t& at, uint32_t max, uint32_t& value) {
  const size_t start = at;
  value = 0;
  while (at < text.size() && IsDigit(text[at]) && at - start < 3) value = value * 10 + (text[at++] - L'0');
  return at > start && (at == text.size() || !IsDigit(text[at])) && value <= max;
}

bool IsSeparator(wchar_t c) { return c == L',' || c == L';' || IsBlank(c); }

}  // namespace

bool ParseIp4(std::wstring_view text, uint32_t& address) {
  size_t at = 0;
  uint32_t result = 0;
  for (int part = 0; part < 4; ++part) {
    if (part && (at >= text.size() || text[at++] != L'.')) return false;
    uint32_t v;
    if (!ReadNumber(text, at, 255, v)) return false;
    result = (result << 8) | v;
  }
  if (at != text.size()) return false;
  address = result;
  return true;
}

std::wstring Ip4Text(uint32_t a) {
  return Format(L"%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255);
}

bool ParseAllowList(std::wstring_view text, std::vector<TAllowRule>& rules, std::wstring& badEntry) {
  std::vector<TAllowRule> out;
  size_t at = 0;
  while (at < text.size()) {
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    size_t end = at;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::wstring_view entry = text.substr(at, end - at);
    at = end;
    const size_t slash = entry.find(L'/');
    uint32_t address = 0, bits = 32;
    size_t pos = slash == std::wstring_view::npos ? 0 : slash + 1;
    if (!ParseIp4(entry.substr(0, slash), address) ||
        (slash != std::wstring_view::npos && (!ReadNumber(entry, pos, 32, bits) || pos != entry.size()))) {
      badEntry = std::wstring(entry);
      return false;
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    out.push_back({address & mask, mask});
  }
  rules = std::move(out);
  return true;
}

bool BusAddressesOf(std::wstring_view host, std::wstring_view listen, TBusAddresses& out) {
  host = TrimBlanks(host);
  listen = TrimBlanks(listen);
  uint32_t bind = kIp4Loopback;
  if (!listen.empty() && !ParseIp4(listen, bind)) return false;
  TBusAddresses a;
  if (host.empty()) {
    // The hub is this computer's, wherever it listens; when it listens on
    // every address, this computer reaches it through 127.0.0.1.
    a.Hub = bind == kIp4Any ? kIp4Loopback : bind;
    a.Bind = bind;
    a.MayBeHub = true;
  } else {
    if (!ParseIp4(host, a.Hub)) return false;
    // A member sends from BusListen; from 127.0.0.1 nothing reaches another
    // computer, so then the system picks the address.
    a.Bind = bind == kIp4Loopback && !IsLoopbackNet(a.Hub) ? kIp4Any : bind;
    a.MayBeHub = false;
  }
  out = a;
  return true;
}

bool TBusAccess::Admits(uint32_t source) const {
  if (!IsOpen()) return source == kIp4Loopback;
  if (source == FListen || (FListen == kIp4Any && source == kIp4Loopback)) return true;
  for (const auto& rule : FAllow)
    if ((source & rule.Mask) == rule.Network) return true;
  return false;
}

}  // namespace ecr
