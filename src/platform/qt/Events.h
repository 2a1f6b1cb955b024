// User actions reaching the program.
#pragma once

#include <functional>

namespace qtui {

// Runs an event handler of the program for a user action (a click, a close
// request). Nothing of the program runs once it has ended. An error that no
// handler trapped is shown in a message box and ends the program, as the classic
// runtime did; it never travels into Qt's event loop.
void runEventHandler(const std::function<void()>& handler);

}  // namespace qtui
