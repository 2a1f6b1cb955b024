#include "platform/qt/Events.h"

#include <exception>
#include <string>

#include "platform/Error.h"
#include "platform/HostDirectory.h"
#include "platform/Runtime.h"

namespace qtui {

void runEventHandler(const std::function<void()>& handler) {
  if (platform::programEnded() || !handler) return;
  // A user's action is a new moment: kept directory listings are checked again.
  platform::nextDirectoryEpoch();
  std::string message;
  try {
    handler();
    return;
  } catch (const platform::RuntimeError& e) {
    message = "Laufzeitfehler '" + std::to_string(e.number()) + "':\n\n" + e.what();
  } catch (const std::exception& e) {
    message = std::string("Laufzeitfehler:\n\n") + e.what();
  }
  if (platform::programEnded()) return;
  platform::MsgBox(message);
  platform::End();
}

}  // namespace qtui
