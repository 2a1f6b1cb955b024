#include "platform/UserAction.h"

#include <exception>
#include <string>

#include "platform/Error.h"
#include "platform/HostDirectory.h"
#include "platform/Runtime.h"

namespace platform {

void runUserAction(const std::function<void()>& handler) {
  if (programEnded() || !handler) return;
  nextDirectoryEpoch();
  std::string message;
  try {
    handler();
    return;
  } catch (const RuntimeError& e) {
    message = "Laufzeitfehler '" + std::to_string(e.number()) + "':\n\n" + e.what();
  } catch (const std::exception& e) {
    message = std::string("Laufzeitfehler:\n\n") + e.what();
  }
  if (programEnded()) return;
  MsgBox(message);
  End();
}

}  // namespace platform
