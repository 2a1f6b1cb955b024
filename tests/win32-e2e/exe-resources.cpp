// Reads the resources of the built program as Windows does and checks what a user
// meets: the manifest (per-monitor DPI aware, common controls 6, no elevation),
// the version information of the file's properties, and an icon with a 32 x 32
// image in 16 colours beside the sizes of higher DPI. Prints what it found.
// Argument: the .exe. Exit code 0 when everything is there, 1 when not, 2 on
// wrong use.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int g_failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failures;
}

std::string resourceText(HMODULE module, const wchar_t* type, const wchar_t* name) {
  HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* data = static_cast<const char*>(::LockResource(loaded));
  return data ? std::string(data, ::SizeofResource(module, found)) : std::string();
}

std::wstring versionString(const std::vector<char>& info, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040704E4\\") + key;
  if (!::VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return {};
  return std::wstring(static_cast<const wchar_t*>(value));
}

#pragma pack(push, 2)
struct GroupIconEntry {  // GRPICONDIRENTRY
  BYTE width, height, colorCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
struct GroupIconHeader {  // GRPICONDIR
  WORD reserved, type, count;
};
#pragma pack(pop)

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HMODULE exe = ::LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!exe) {
    std::printf("FAIL: cannot open %ls (error %lu)\n", argv[1], ::GetLastError());
    return 1;
  }

  const std::string manifest = resourceText(exe, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
  std::printf("manifest: %zu bytes\n", manifest.size());
  check(manifest.find("<dpiAwareness") != std::string::npos &&
            manifest.find("PerMonitorV2") != std::string::npos,
        "manifest: per-monitor DPI aware (PerMonitorV2)");
  check(manifest.find("true/pm") != std::string::npos,
        "manifest: per-monitor DPI aware before Windows 10 (true/pm)");
  check(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"") !=
            std::string::npos,
        "manifest: common controls 6");
  check(manifest.find("level=\"asInvoker\"") != std::string::npos, "manifest: asInvoker");

  const DWORD size = ::GetFileVersionInfoSizeW(argv[1], nullptr);
  std::vector<char> info(size);
  const bool haveInfo = size > 0 && ::GetFileVersionInfoW(argv[1], 0, size, info.data());
  check(haveInfo, "version information");
  if (haveInfo) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
    check(fixed && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0,
          "file version 1.0.0.0");
    for (const auto& [key, expected] :
         {std::pair{L"ProductName", L"Rozozovuvor-Ororuzi"}, std::pair{L"ProductVersion", L"1.0"},
          std::pair{L"FileVersion", L"1.0"},
          std::pair{L"OriginalFilename", L"rozozovuvor-ororuzi.exe"}}) {
      const std::wstring value = versionString(info, key);
      std::printf("  %ls: %ls\n", key, value.c_str());
      check(value == expected, "the version string's value as expected");
    }
    const std::wstring description = versionString(info, L"FileDescription");
    std::printf("  FileDescription: %ls\n", description.c_str());
    check(!description.empty(), "a file description");
  }

  HRSRC group = ::FindResourceW(exe, L"ICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  check(group != nullptr, "icon group \"icon\"");
  if (group) {
    const auto* header =
        static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(exe, group)));
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    bool sixteenColours32 = false;
    std::vector<int> trueColour;
    for (WORD i = 0; i < header->count; ++i) {
      const GroupIconEntry& e = entries[i];
      const int width = e.width ? e.width : 256;
      std::printf("  icon %d x %d, %d bits\n", width, e.height ? e.height : 256, e.bitCount);
      if (width == 32 && e.height == 32 && e.bitCount == 4 && e.colorCount == 16) {
        // The image itself must load as an icon.
        HRSRC image = ::FindResourceW(exe, MAKEINTRESOURCEW(e.id), MAKEINTRESOURCEW(3));
        HICON icon = image ? ::CreateIconFromResourceEx(
                                 static_cast<BYTE*>(::LockResource(::LoadResource(exe, image))),
                                 ::SizeofResource(exe, image), TRUE, 0x00030000, 32, 32, 0)
                           : nullptr;
        sixteenColours32 = icon != nullptr;
        if (icon) ::DestroyIcon(icon);
      }
      if (e.bitCount == 32) trueColour.push_back(width);
    }
    check(sixteenColours32, "a 32 x 32 icon image in 16 colours that loads");
    for (int wanted : {16, 20, 24, 32, 40, 48, 64, 256}) {
      bool there = false;
      for (int w : trueColour) there = there || w == wanted;
      const std::string what = "a 32-bit icon image of " + std::to_string(wanted) + " pixels";
      check(there, what.c_str());
    }
  }
  ::FreeLibrary(exe);
  return g_failures == 0 ? 0 : 1;
}
