#include "platform/runtime/UserAction.h"

#include <exception>
#include <string>

#include "platform/Error.h"
#include "platform/runtime/Runtime.h"

namespace platform {

void runUserAction(const std::function<void()>& handler) {
  if (programEnded() || !handler) return;
  nextYieldEpoch();
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
