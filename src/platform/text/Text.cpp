#include "platform/text/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/os/Os.h"
#include "platform/text/PathBytes.h"

namespace platform {

namespace {

constexpr unsigned char foldAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

char32_t lowerChar(char32_t cp) {
  if (cp < 0x80) return foldAscii(static_cast<unsigned char>(cp));
  // Latin-1 capitals (umlauts among them) without asking the system's tables.
  if (cp < 0x100) return (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) ? cp + 32 : cp;
  if (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF) return cp;
  return os::lowerChar(cp);
}

char32_t upperChar(char32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
  if (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF) return cp;
  return os::upperChar(cp);
}

// Next character for comparisons: invalid bytes compare as themselves.
char32_t nextChar(std::string_view s, size_t& pos) {
  char32_t cp;
  if (static_cast<unsigned char>(s[pos]) < 0x80) return static_cast<unsigned char>(s[pos++]);
  if (decodeUtf8(s, pos, cp)) return cp;
  return static_cast<unsigned char>(s[pos++]);
}

template <class Map>
std::string mapCase(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  while (pos < s.size()) {
    char32_t cp;
    if (decodeUtf8(s, pos, cp)) {
      appendUtf8(out, map(cp));
    } else {
      out.push_back(s[pos++]);
    }
  }
  return out;
}

// Byte offset of the character at 0-based character index `index` (or s.size()).
size_t byteOffset(std::string_view s, int32_t index) {
  size_t pos = 0;
  for (int32_t i = 0; i < index && pos < s.size(); ++i) {
    char32_t cp;
    if (!decodeUtf8(s, pos, cp)) ++pos;
  }
  return pos;
}

// Code points of the bytes 0x80..0x9F in Windows-1252. The five bytes that the code
// page leaves undefined map to the C1 control of the same value, as Windows does.
constexpr char32_t kAnsiHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte for a code point, or '?' when it has none.
char windows1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// A byte that a host name held and a view name escapes (U+F000 + b): a byte of an
// old 8-bit name stands for the Windows-1252 character of that value where the code
// page defines one; "\", control characters and the undefined bytes are "?", so
// that no name can split or forge a line.
char escapedByte(char32_t cp) {
  const char32_t b = cp - kEscapeBase;
  if (b < 0xA0) return b >= 0x80 && kAnsiHigh[b - 0x80] >= 0x100 ? static_cast<char>(b) : '?';
  return static_cast<char>(b);
}

// The code page's byte for a character: the system's own code page where it has
// one, else Windows-1252. One "?" for each character it cannot hold.
char ansiByte(char32_t cp) {
  if (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF) return escapedByte(cp);
  if (!os::kHasAnsiCodePage) return windows1252Byte(cp);
  if (cp < 0x80) return static_cast<char>(cp);
  return os::ansiByte(cp).value_or('?');
}

}  // namespace

bool decodeUtf8(std::string_view s, size_t& pos, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    cp = b0;
    ++pos;
    return true;
  }
  int extra;
  char32_t value;
  char32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, value = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, value = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, value = b0 & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (pos + static_cast<size_t>(extra) >= s.size()) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + static_cast<size_t>(i)]);
    if ((b & 0xC0) != 0x80) return false;
    value = (value << 6) | (b & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  cp = value;
  pos += static_cast<size_t>(extra) + 1;
  return true;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int32_t Len(std::string_view s) {
  // An invalid byte counts as one character of its own.
  size_t pos = 0;
  int32_t n = 0;
  while (pos < s.size()) {
    char32_t cp;
    if (!decodeUtf8(s, pos, cp)) ++pos;
    ++n;
  }
  return n;
}

std::string Left(std::string_view s, int32_t n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, byteOffset(s, n)));
}

std::string Right(std::string_view s, int32_t n) {
  if (n <= 0) return {};
  const int32_t len = Len(s);
  if (n >= len) return std::string(s);
  return std::string(s.substr(byteOffset(s, len - n)));
}

std::string Mid(std::string_view s, int32_t start, int32_t length) {
  if (start < 1) start = 1;
  const size_t from = byteOffset(s, start - 1);
  if (length < 0) return std::string(s.substr(from));
  const size_t to = from + byteOffset(s.substr(from), length);
  return std::string(s.substr(from, to - from));
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  for (;;) {
    const size_t hit = s.find(find, pos);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(pos, hit - pos));
    out.append(with);
    pos = hit + find.size();
  }
  out.append(s.substr(pos));
  return out;
}

std::string LCase(std::string_view s) {
  return mapCase(s, lowerChar);
}
std::string UCase(std::string_view s) {
  return mapCase(s, upperChar);
}

int compareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = lowerChar(nextChar(a, i));
    const char32_t cb = lowerChar(nextChar(b, j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  size_t i = 0;
  size_t j = 0;
  while (j < prefix.size()) {
    if (i >= text.size()) return false;
    if (lowerChar(nextChar(text, i)) != lowerChar(nextChar(prefix, j))) return false;
  }
  return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  return compareNoCase(a, b) == 0;
}

bool listOrderLess(std::string_view a, std::string_view b) {
  // Fast path for the common all-ASCII prefix.
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t k = 0;
  for (; k < n; ++k) {
    const auto ca = static_cast<unsigned char>(a[k]);
    const auto cb = static_cast<unsigned char>(b[k]);
    if ((ca | cb) & 0x80) break;
    const unsigned char la = foldAscii(ca);
    const unsigned char lb = foldAscii(cb);
    if (la != lb) return la < lb;
  }
  if (k == n) {
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  }
  // Back up to the start of the character that holds the first non-ASCII byte.
  while (k > 0 && (static_cast<unsigned char>(a[k]) & 0xC0) == 0x80) --k;
  const int c = compareNoCase(a.substr(k), b.substr(k));
  if (c != 0) return c < 0;
  return a < b;
}

namespace {

struct SortEntry {
  uint64_t head;
  size_t begin;
  size_t length;
  size_t index;
};

// A sort's work space, kept from sort to sort on each thread while it is small.
struct SortSpace {
  std::vector<SortEntry> order;
  std::string keys;
  void release() {
    constexpr size_t kKept = 64 * 1024;
    if (keys.capacity() > kKept) std::string().swap(keys);
    if (order.capacity() * sizeof(SortEntry) > kKept) std::vector<SortEntry>().swap(order);
  }
};

// Sorts the entries of `space` by listOrderLess of their names, folding each name
// only once. `Names` holds the names by index: strings, or a NameList.
template <class Names>
void sortEntries(const Names& names, SortSpace& space) {
  const size_t n = names.size();
  // Each name is folded once into a key whose bytes compare as listOrderLess
  // compares the characters (UTF-8 keeps the order of the code points), so the
  // sort itself only compares bytes.
  // The first eight key bytes as one number decide most comparisons. (Names hold
  // no NUL byte, so the zeros that pad a short key never tie with a real byte.)
  std::vector<SortEntry>& order = space.order;
  std::string& keys = space.keys;
  order.resize(n);
  keys.clear();
  size_t total = 0;
  for (size_t i = 0; i < n; ++i) total += names[i].size();
  keys.reserve(total + total / 4);
  for (size_t i = 0; i < n; ++i) {
    const std::string_view name = names[i];
    const size_t begin = keys.size();
    size_t pos = 0;
    while (pos < name.size()) {
      const size_t run = pathbytes::asciiRunEnd(name, pos);
      if (run > pos) {
        const size_t at = keys.size();
        keys.append(name, pos, run - pos);
        char* folded = keys.data() + at;
        for (size_t k = 0; k < run - pos; ++k) {
          folded[k] = static_cast<char>(foldAscii(static_cast<unsigned char>(folded[k])));
        }
        pos = run;
      } else {
        appendUtf8(keys, lowerChar(nextChar(name, pos)));
      }
    }
    const size_t length = keys.size() - begin;
    uint64_t head = 0;
    for (size_t k = 0; k < 8; ++k) {
      head = (head << 8) | (k < length ? static_cast<unsigned char>(keys[begin + k]) : 0u);
    }
    order[i] = {head, begin, length, i};
  }
  const char* base = keys.data();
  std::sort(order.begin(), order.end(), [&names, base](const SortEntry& a, const SortEntry& b) {
    if (a.head != b.head) return a.head < b.head;
    const size_t common = std::min(a.length, b.length);
    if (common > 8) {
      const int c = std::memcmp(base + a.begin + 8, base + b.begin + 8, common - 8);
      if (c != 0) return c < 0;
    }
    if (a.length != b.length) return a.length < b.length;
    return std::string_view(names[a.index]) < std::string_view(names[b.index]);
  });
}

thread_local SortSpace t_sortSpace;  // kept from sort to sort while it is small

}  // namespace

void sortListOrder(std::vector<std::string>& names) {
  const size_t n = names.size();
  if (n < 2) return;
  SortSpace& space = t_sortSpace;
  sortEntries(names, space);
  std::vector<SortEntry>& order = space.order;
  // The names moved where they belong, one cycle of the permutation at a time;
  // a place done is marked with the index n.
  for (size_t i = 0; i < n; ++i) {
    if (order[i].index == i || order[i].index == n) continue;
    std::string first = std::move(names[i]);
    size_t j = i;
    for (;;) {
      const size_t from = order[j].index;
      order[j].index = n;
      if (from == i) {
        names[j] = std::move(first);
        break;
      }
      names[j] = std::move(names[from]);
      j = from;
    }
  }
  space.release();
}

void sortListOrder(const NameList& from, NameList& to) {
  to.clear();
  to.reserve(from.size(), from.bytes());
  if (from.size() < 2) {
    for (std::string_view name : from) to.push_back(name);
    return;
  }
  SortSpace& space = t_sortSpace;
  sortEntries(from, space);
  for (const SortEntry& e : space.order) to.push_back(from[e.index]);
  space.release();
}

void appendAnsi(std::string& out, std::string_view utf8) {
  size_t pos = 0;
  const size_t size = utf8.size();
  while (pos < size) {
    // Runs of ASCII, by far the most of every path, are copied whole.
    const size_t run = pathbytes::asciiRunEnd(utf8, pos);
    if (run > pos) {
      out.append(utf8.data() + pos, run - pos);
      pos = run;
      if (pos >= size) break;
    }
    char32_t cp;
    if (decodeUtf8(utf8, pos, cp)) {
      out.push_back(ansiByte(cp));
    } else {
      out.push_back('?');
      ++pos;
    }
  }
}

std::string fromAnsi(std::string_view ansi) {
  if (os::kHasAnsiCodePage) return os::fromAnsiCodePage(ansi);
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else if (b < 0xA0) {
      appendUtf8(out, kAnsiHigh[b - 0x80]);
    } else {
      appendUtf8(out, b);
    }
  }
  return out;
}

std::string toAnsi(std::string_view utf8) {
  std::string out;
  appendAnsi(out, utf8);
  return out;
}

namespace {

bool needsEscape(char32_t cp) {
  return cp < 0x20 || cp == 0x7F || cp == '\\' || (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF);
}

void appendEscapedBytes(std::string& out, std::string_view bytes) {
  for (char c : bytes) appendUtf8(out, kEscapeBase + static_cast<unsigned char>(c));
}

}  // namespace

void appendHostNameAsView(std::string& out, std::string_view hostName) {
  size_t pos = 0;
  while (pos < hostName.size()) {
    // Printable ASCII other than "\\" is its own view: copied a run at a time.
    size_t run = pos;
    while (run < hostName.size()) {
      const auto b = static_cast<unsigned char>(hostName[run]);
      if (b < 0x20 || b >= 0x7F || b == '\\') break;
      ++run;
    }
    if (run > pos) {
      out.append(hostName.data() + pos, run - pos);
      pos = run;
      continue;
    }
    const size_t start = pos;
    char32_t cp;
    if (!decodeUtf8(hostName, pos, cp)) {
      appendEscapedBytes(out, hostName.substr(pos, 1));
      ++pos;
    } else if (needsEscape(cp)) {
      appendEscapedBytes(out, hostName.substr(start, pos - start));
    } else {
      out.append(hostName.substr(start, pos - start));
    }
  }
}

std::string hostNameToView(std::string_view hostName) {
  std::string out;
  out.reserve(hostName.size());
  appendHostNameAsView(out, hostName);
  return out;
}

std::string viewNameToHost(std::string_view viewName) {
  std::string out;
  out.reserve(viewName.size());
  size_t pos = 0;
  while (pos < viewName.size()) {
    const size_t start = pos;
    char32_t cp;
    if (decodeUtf8(viewName, pos, cp)) {
      if (cp >= kEscapeBase && cp <= kEscapeBase + 0xFF) {
        out.push_back(static_cast<char>(cp - kEscapeBase));
      } else {
        out.append(viewName.substr(start, pos - start));
      }
    } else {
      out.push_back(viewName[pos++]);
    }
  }
  return out;
}

}  // namespace platform
