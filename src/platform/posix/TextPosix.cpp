// Case of characters beyond ASCII and the ANSI code page, without the user's locale.
#include <locale.h>
#include <clocale>
#include <cwctype>

#include "platform/Text.h"
#include "platform/TextHost.h"

namespace platform {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252. The five bytes that the code
// page leaves undefined map to the C1 control of the same value, as Windows does.
constexpr char32_t kAnsiHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Returns the Windows-1252 byte for a code point, or '?' when it has none.
char ansiByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// A fixed UTF-8 locale for the case tables, so the user's LANG changes nothing.
locale_t caseLocale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}

}  // namespace

char32_t hostLowerChar(char32_t cp) {
  if (locale_t l = caseLocale())
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), l));
  return cp;
}

char32_t hostUpperChar(char32_t cp) {
  if (locale_t l = caseLocale())
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), l));
  return cp;
}

void appendAnsi(std::string& out, std::string_view utf8) {
  size_t pos = 0;
  const size_t size = utf8.size();
  while (pos < size) {
    // Runs of ASCII, by far the most of every path, are copied whole.
    size_t run = pos;
    while (run < size && static_cast<unsigned char>(utf8[run]) < 0x80) ++run;
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

}  // namespace platform
