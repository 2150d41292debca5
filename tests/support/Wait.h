// Waiting in tests for something another process or thread does: the condition is looked at
// every 20 ms until it holds or the time is up, and once more at the end.
#pragma once

#include <chrono>
#include <thread>

template <typename Pred> bool WaitFor(Pred pred, double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

// The first value `find` gives that is not null (or 0) within `seconds`; null (or 0) when none.
template <typename Find> auto WaitForValue(Find find, double seconds) {
    decltype(find()) found{};
    WaitFor([&] { return (found = find()) != decltype(found){}; }, seconds);
    return found;
}
