// The settable clock of the tests. Safe to read from any thread.
#pragma once

#include "platform/clock.h"

#include <atomic>

namespace platform {

class FakeClock : public ClockBackend {
  public:
    explicit FakeClock(std::int64_t now = 0) : m_now(now) {}

    std::int64_t Now() override { return m_now.load(); }
    void Set(std::int64_t now) { m_now.store(now); }
    void Set(const CTime& now) { m_now.store(now.GetTime()); }
    void Advance(std::int64_t seconds) { m_now.fetch_add(seconds); }

  private:
    std::atomic<std::int64_t> m_now;
};

} // namespace platform
