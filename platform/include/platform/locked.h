// What the test backends record is read by the test's thread while the program's threads
// add to it: each read takes a copy under the backend's mutex.
#pragma once

#include <mutex>

namespace platform {

template <class T> T LockedCopy(std::mutex& mutex, const T& value) {
    std::lock_guard<std::mutex> lock(mutex);
    return value;
}

} // namespace platform
