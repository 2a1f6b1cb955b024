// Case of characters beyond ASCII and the ANSI code page, from the system: the
// invariant locale's case tables (the same whatever the user chose) and the code
// page the system uses for 8-bit text (Windows-1252 on a Western system).
#include <array>
#include <memory>

#include "platform/Text.h"
#include "platform/TextHost.h"
#include "platform/win32/Win32Util.h"

namespace platform {

namespace {

char32_t mapCase(char32_t cp, DWORD flags) {
  wchar_t in[2];
  int n = 1;
  if (cp >= 0x10000) {
    in[0] = static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
    in[1] = static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    n = 2;
  } else {
    in[0] = static_cast<wchar_t>(cp);
  }
  wchar_t out[4];
  const int m = ::LCMapStringEx(LOCALE_NAME_INVARIANT, flags, in, n, out, 4, nullptr, nullptr, 0);
  if (m == 1 && (out[0] < 0xD800 || out[0] > 0xDFFF)) return out[0];
  if (m == 2 && out[0] >= 0xD800 && out[0] < 0xDC00 && out[1] >= 0xDC00 && out[1] <= 0xDFFF) {
    return 0x10000 + ((static_cast<char32_t>(out[0]) - 0xD800) << 10) + (out[1] - 0xDC00);
  }
  return cp;  // no single-character mapping
}

// The sort of every list compares case per character: the characters of the
// Basic Multilingual Plane are asked once each and kept.
class CaseTable {
 public:
  explicit CaseTable(DWORD flags) : m_flags(flags) {}
  char32_t operator()(char32_t cp) {
    if (cp >= 0x10000) return mapCase(cp, m_flags);
    if (!m_table) {
      m_table = std::make_unique<std::array<char16_t, 0x10000>>();
      m_table->fill(0);
    }
    char16_t& slot = (*m_table)[cp];
    if (slot == 0) slot = static_cast<char16_t>(mapCase(cp, m_flags));
    return slot;
  }

 private:
  DWORD m_flags;
  std::unique_ptr<std::array<char16_t, 0x10000>> m_table;
};

}  // namespace

char32_t hostLowerChar(char32_t cp) {
  static CaseTable table(LCMAP_LOWERCASE);
  return table(cp);
}

char32_t hostUpperChar(char32_t cp) {
  static CaseTable table(LCMAP_UPPERCASE);
  return table(cp);
}

void appendAnsi(std::string& out, std::string_view utf8) {
  size_t pos = 0;
  const size_t size = utf8.size();
  while (pos < size && static_cast<unsigned char>(utf8[pos]) < 0x80) ++pos;
  out.append(utf8.substr(0, pos));
  if (pos == size) return;
  // The rest through UTF-16; a byte that is no UTF-8 becomes "?" as a character
  // that the code page cannot hold does. No best-fit: "ł" is "?", not "l". No
  // ANSI code page holds a character beyond the BMP: one "?" for it, not one per
  // surrogate.
  std::wstring wide;
  wide.reserve(size - pos);
  while (pos < size) {
    char32_t cp;
    if (!decodeUtf8(utf8, pos, cp)) {
      wide.push_back(L'?');
      ++pos;
    } else if (cp >= 0x10000) {
      wide.push_back(L'?');
    } else {
      wide.push_back(static_cast<wchar_t>(cp));
    }
  }
  const int n = static_cast<int>(wide.size());
  const int m =
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, "?", nullptr);
  const size_t base = out.size();
  out.resize(base + static_cast<size_t>(m));
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data() + base, m, "?",
                        nullptr);
}

std::string fromAnsi(std::string_view ansi) {
  size_t pos = 0;
  while (pos < ansi.size() && static_cast<unsigned char>(ansi[pos]) < 0x80) ++pos;
  if (pos == ansi.size()) return std::string(ansi);
  const int size = static_cast<int>(ansi.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
  return win32::narrow(wide);
}

}  // namespace platform
