// On Windows the program's find-string messages are answered by the system's own
// list boxes (the host installs them): so are the tests' here, so that every
// message case holds for both.
#include "platform/win32/ListWindow.h"

namespace {

const bool kNativeLists = [] {
  platform::win32::answerFindStringsNatively();
  return true;
}();

}  // namespace
