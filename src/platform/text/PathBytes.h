// Byte scans over long paths, eight bytes at a time. A walk passes its full path
// to the lists at every step, so on deep trees these scans are most of its work.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
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

// How many bytes `a` and `b` have in common from their starts.
inline size_t commonPrefix(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  // Whole blocks compared by the library first: the paths of a walk share nearly all.
  constexpr size_t kBlock = 256;
  while (i + kBlock <= n && std::memcmp(a.data() + i, b.data() + i, kBlock) == 0) i += kBlock;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      const uint64_t differ = load(a.data() + i) ^ load(b.data() + i);
      if (differ) return i + static_cast<size_t>(std::countr_zero(differ) / 8);
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// True when `s` holds a byte below 0x20 (a control character).
inline bool hasControlByte(std::string_view s) {
  const size_t n = s.size();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t v = load(s.data() + i);
    if ((v - kOnes * 0x20) & ~v & ~kLow7) return true;
  }
  for (; i < n; ++i) {
    if (static_cast<unsigned char>(s[i]) < 0x20) return true;
  }
  return false;
}

// Where the run of ASCII bytes that starts at `from` ends.
inline size_t asciiRunEnd(std::string_view s, size_t from) {
  const size_t n = s.size();
  size_t i = from;
  while (i + 8 <= n && (load(s.data() + i) & ~kLow7) == 0) i += 8;
  while (i < n && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

// A hash for sets of long paths: their lengths and last bytes, where paths that
// differ mostly differ. Hashing the whole of a deep path would cost more than
// everything else its lookup does.
struct TailHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const {
    constexpr size_t kTail = 128;
    const std::string_view tail = s.size() > kTail ? s.substr(s.size() - kTail) : s;
    return std::hash<std::string_view>{}(tail) ^ (s.size() * 0x9E3779B97F4A7C15ULL);
  }
};

// True when the view path `p` is in the lists' normal form: "X:\" and then names
// (upper-case letter, no "/", no empty, "." or ".." name, no final "\"). Its first
// `known` bytes are known to begin a path in that form, so only what follows them
// is looked at (and the three bytes before, which a name at the cut may involve).
inline bool isNormalViewPath(std::string_view p, size_t known = 0) {
  if (p.size() < 3 || p[0] < 'A' || p[0] > 'Z' || p[1] != ':' || p[2] != '\\') return false;
  if (p.size() == 3) return true;
  if (p.back() == '\\') return false;
  const size_t from = known > 5 ? std::min(known, p.size()) - 3 : 2;
  // Most paths have no place to look at more closely.
  if (!mayNeedNormalizing(p.substr(from))) return true;
  const size_t n = p.size();
  for (size_t i = from; i < n; ++i) {
    const char ch = p[i];
    if (ch == '/') return false;
    if (ch != '\\') continue;
    if (i + 1 < n && p[i + 1] == '\\') return false;
    if (i + 1 < n && p[i + 1] == '.') {
      const size_t after = (i + 2 < n && p[i + 2] == '.') ? i + 3 : i + 2;
      if (after >= n || p[after] == '\\') return false;
    }
  }
  return true;
}

}  // namespace platform::pathbytes
