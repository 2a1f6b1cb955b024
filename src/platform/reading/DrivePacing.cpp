#include "platform/reading/DrivePacing.h"

#include <algorithm>
#include <bit>

namespace platform {

bool waitedOnDrive(std::chrono::steady_clock::duration took, size_t entries) {
  return took > std::chrono::microseconds(60) + entries * std::chrono::microseconds(2);
}

ReaderCounts ReaderCounts::forCores(unsigned cores) {
  return {std::clamp(cores, 2u, 8u), std::clamp(16 * cores, 16u, 64u)};
}

DrivePacing::Change DrivePacing::record(bool waited) {
  m_slow = (m_slow << 1) | (waited ? 1u : 0u);
  ++m_readsSinceChange;
  const int recent = std::popcount(m_slow);
  if (recent >= kSlowToWait && m_fromMemory) {
    m_fromMemory = false;
    m_readsSinceChange = 0;
    return Change::StartedWaiting;
  }
  if (recent == 0 && !m_fromMemory && m_readsSinceChange >= kFastToMemory) {
    m_fromMemory = true;
    m_readsSinceChange = 0;
    return Change::AnswersFromMemory;
  }
  return Change::None;
}

}  // namespace platform
