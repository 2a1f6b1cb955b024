// The status list of the main window.
#pragma once

#include <string>

namespace scanner {

// Appends a line to the main window's status list and scrolls it into view;
// creates the (hidden) main window first if it does not exist yet.
void AddStatusLine(const std::string& text);

}  // namespace scanner
