// Byte scans over long paths, eight bytes at a time. A walk passes its full path
// to the lists at every step, so on deep trees these scans are most of its work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace platform::pathbytes {

inline constexpr uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

// The high bit of every byte of `v` that equals `b` (no false hits: no carry
// crosses a byte).
inline uint64_t bytesEqual(uint64_t v, unsigned char b) {
  const uint64_t t = v ^ (kOnes * b);
  return ~(((t & kLow7) + kLow7) | t | kLow7);
}

inline uint64_t load(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Copies `in` to `out`, every "\" made "/".
inline void copyWithSlashes(char* out, std::string_view in) {
  const size_t n = in.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t v = load(in.data() + i);
    const uint64_t hits = bytesEqual(v, '\\');
    v ^= (hits >> 7) * static_cast<unsigned char>('\\' ^ '/');
    std::memcpy(out + i, &v, sizeof v);
  }
  for (; i < n; ++i) out[i] = in[i] == '\\' ? '/' : in[i];
}

// True when `s` holds a "/", or a "\" followed by "\", "/" or ".": the places
// where a path may not be in its normal form. Never false where one is.
inline bool mayNeedNormalizing(std::string_view s) {
  const size_t n = s.size();
  size_t i = 0;
  for (; i + 9 <= n; i += 8) {
    const uint64_t here = load(s.data() + i);
    const uint64_t next = load(s.data() + i + 1);
    if (bytesEqual(here, '/')) return true;
    const uint64_t suspect = bytesEqual(next, '\\') | bytesEqual(next, '/') | bytesEqual(next, '.');
    if (bytesEqual(here, '\\') & suspect) return true;
  }
  for (; i < n; ++i) {
    if (s[i] == '/') return true;
    if (s[i] == '\\' && i + 1 < n && (s[i + 1] == '\\' || s[i + 1] == '/' || s[i + 1] == '.')) {
      return true;
    }
  }
  return false;
}

}  // namespace platform::pathbytes
