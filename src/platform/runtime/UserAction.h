// The boundary between a user's action and the program.
//
// Every host runs the program's handler for a click or a close request through
// runUserAction, so both systems keep the classic runtime's rule in one place.
#pragma once

#include <functional>

namespace platform {

// Runs the handler of one user action (a click, a close request). Nothing runs
// once the program has ended. The action is a new moment: kept directory listings
// are checked against the disk again. An error that no handler trapped is shown
// in a message box and ends the program; it never reaches the host's event loop.
void runUserAction(const std::function<void()>& handler);

}  // namespace platform
