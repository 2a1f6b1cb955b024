// Case of characters and the ANSI code page, from the system: the invariant
// locale's case tables (the same whatever the user chose) and the code page the
// system uses for 8-bit text (Windows-1252 on a Western system).
#include <array>
#include <memory>

#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

namespace platform::os {

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

const bool kHasAnsiCodePage = true;

char32_t lowerChar(char32_t cp) {
  static CaseTable table(LCMAP_LOWERCASE);
  return table(cp);
}

char32_t upperChar(char32_t cp) {
  static CaseTable table(LCMAP_UPPERCASE);
  return table(cp);
}

std::optional<char> ansiByte(char32_t cp) {
  // Asked of the system once per character of the Basic Multilingual Plane.
  static std::unique_ptr<std::array<int16_t, 0x10000>> table;
  if (cp >= 0x10000 || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  if (!table) {
    table = std::make_unique<std::array<int16_t, 0x10000>>();
    table->fill(-2);
  }
  int16_t& slot = (*table)[cp];
  if (slot == -2) {
    const wchar_t wide = static_cast<wchar_t>(cp);
    char out[4];
    BOOL usedDefault = FALSE;
    // No best fit: "ł" has no byte, it does not become "l".
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, out, sizeof out,
                                        nullptr, &usedDefault);
    slot = (n == 1 && !usedDefault) ? static_cast<unsigned char>(out[0]) : -1;
  }
  if (slot < 0) return std::nullopt;
  return static_cast<char>(slot);
}

std::string fromAnsiCodePage(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int size = static_cast<int>(ansi.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
  return win32::narrow(wide);
}

}  // namespace platform::os
