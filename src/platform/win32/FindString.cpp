// The find-string messages answered by the native list boxes. Messages.h comes
// before windows.h: its constants bear the names that windows.h makes macros.
#include "platform/winapi/Messages.h"

#include "platform/win32/ListWindow.h"

namespace platform::win32 {

void answerFindStringsNatively() {
  setNativeFindString([](ItemList& list, uint32_t msg, intptr_t start, const char* ansiText) {
    HWND native = listWindowFor(list).hwnd();
    return std::optional<intptr_t>(static_cast<intptr_t>(::SendMessageA(
        native, msg, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(ansiText))));
  });
}

}  // namespace platform::win32
