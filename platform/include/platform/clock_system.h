// The real clock.
#pragma once

#include "platform/clock.h"

namespace platform {

class SystemClock : public ClockBackend {
  public:
    std::int64_t Now() override;
};

} // namespace platform
