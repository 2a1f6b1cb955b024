// Which entries Windows reports as folders a walk enters. Pure and the same on
// every system, so that the rule is tested everywhere.
#include "platform/os/Os.h"

namespace platform::os {

namespace {

// The attribute bits of winnt.h and the bits of a reparse tag: M (Microsoft),
// R (reserved), N (name surrogate: the entry stands for another named entity),
// D (directory: the folder may have children of its own), then the tag's value.
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;
constexpr uint32_t kTagNameSurrogate = 0x20000000;

}  // namespace

bool walkedAsFolder(uint32_t attributes, uint32_t reparseTag) {
  if (!(attributes & kAttributeDirectory)) return false;
  if (!(attributes & kAttributeReparsePoint)) return true;
  return reparseTag != 0 && !(reparseTag & kTagNameSurrogate);
}

}  // namespace platform::os
