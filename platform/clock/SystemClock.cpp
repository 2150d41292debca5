#include "platform/clock_system.h"

#include <chrono>

namespace platform {

std::int64_t SystemClock::Now() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace platform
