// user32's SendMessageA, as far as the program sends messages: the find-string
// messages of list boxes and combo boxes.
//
// The message is answered at once, on the calling (UI) thread, for the ListBox or
// ComboBox model that owns the window handle: by the system's own list box that
// mirrors the model where the user interface host has one (Windows), elsewhere by
// the model itself, with the same rules.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/controls/Control.h"

namespace platform {

// Find-string messages. wParam: the index of the entry after which the search
// begins; -1 (or any index outside the list) searches from the first entry. A
// search that reaches the end goes on from the top and stops after one full round,
// so the entry at wParam itself is looked at last. lParam: the address of a
// NUL-terminated text in the ANSI code page. Case is ignored (all of Unicode, as LCase).
// The plain messages match an entry that begins with the text (an empty text
// matches every entry), the EXACT ones an entry equal to it.
// Result: the zero-based index of the matching entry, or LB_ERR / CB_ERR.
inline constexpr uint32_t CB_FINDSTRING = 0x14C;       // 332
inline constexpr uint32_t CB_FINDSTRINGEXACT = 0x158;  // 344
inline constexpr uint32_t LB_FINDSTRING = 0x18F;       // 399
inline constexpr uint32_t LB_FINDSTRINGEXACT = 0x1A2;  // 418

inline constexpr intptr_t LB_ERR = -1;
inline constexpr intptr_t CB_ERR = -1;

// Sends `msg` to the control with handle `hwnd` and returns its answer.
//
// - LB_FINDSTRING / LB_FINDSTRINGEXACT to a ListBox and CB_FINDSTRING /
//   CB_FINDSTRINGEXACT to a ComboBox: the index found, or -1 when no entry matches,
//   the list is empty, or lParam is 0 (no text to compare; nothing is read).
// - Any other message, a find message sent to a control of another kind (an LB_
//   message to a combo box, a CB_ message to a list box, anything to a label), or a
//   handle of no live control: 0, as the default window procedure answers a message
//   it does not understand. Note that 0 is also a valid index; callers choose the
//   message by the kind of control, as FindListEntry does.
//
// lParam must point to a NUL-terminated text that stays valid for the call.
intptr_t SendMessageA(Hwnd hwnd, uint32_t msg, intptr_t wParam, intptr_t lParam);

class ItemList;
// A host whose list models are mirrored by the system's own list boxes (the
// Windows host) answers the find-string messages through them. It is called with
// a find message that fits the list's kind, `start` within -1..ListCount-1 and
// `ansiText` not null; nothing means the model is searched. An empty function (the
// default) leaves every search to the model.
using NativeFindString = std::function<std::optional<intptr_t>(
    ItemList& list, uint32_t msg, intptr_t start, const char* ansiText)>;
void setNativeFindString(NativeFindString answer);

}  // namespace platform
