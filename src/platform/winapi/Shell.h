// shell32's ShellExecuteA: opens a document or web address with the desktop's
// opener (shell32 itself on Windows, xdg-open on Linux), detached, without
// waiting for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls/Control.h"

namespace platform {

inline constexpr int SW_SHOWNORMAL = 1;

// Returns a value greater than 32 when the opener was started, as the Windows call
// does; the program ignores it. `lpDirectory` is a view path; when it names no
// existing folder the opener starts in the current one.
long ShellExecuteA(Hwnd hwnd, const std::string& lpOperation, const std::string& lpFile,
                   const std::string& lpParameters, const std::string& lpDirectory, int nShowCmd);

// Takes the place of the system's opener (tests): it is given the operation, the
// file, the parameters and the directory, as ShellExecuteA was, and answers
// whether the opener started.
using Launcher = std::function<bool(const std::vector<std::string>& request)>;
// Replaces the opener; an empty function restores the system's.
void setLauncher(Launcher launcher);

}  // namespace platform
