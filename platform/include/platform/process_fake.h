// The recording process backend of the tests: nothing is started; every request is kept, and
// each "child" behaves as the test scripted it. Sleep records its duration and returns at once.
// Safe to use from several threads.
#pragma once

#include "platform/process.h"

#include <functional>

namespace platform {

// How one started program behaves.
struct FakeProgram {
    DWORD startError = ERROR_SUCCESS; // not ERROR_SUCCESS: CreateProcessA fails with this code
    DWORD exitCode = 0;
    // Still running: GetExitCodeProcess gives STILL_ACTIVE and a limited wait times out (at
    // once). A wait without limit lets it end with exitCode.
    bool running = false;
    DWORD exitCodeError = ERROR_SUCCESS; // not ERROR_SUCCESS: GetExitCodeProcess fails so
};

class FakeProcessBackend : public ProcessBackend {
  public:
    // Decides the behaviour of a start when no queued program is left; it runs without the
    // fake's lock, so it may call into other services (a test can look at the world "while the
    // child runs").
    using Handler = std::function<FakeProgram(const ProcessStart&)>;

    FakeProcessBackend();
    ~FakeProcessBackend() override;

    DWORD Start(const ProcessStart& request, std::shared_ptr<ChildProcess>* child) override;
    void Sleep(DWORD milliseconds) override;

    // The next starts behave as queued, in order; then the handler decides, else the default
    // (exit code 0, ended).
    void QueueProgram(const FakeProgram& program);
    void SetHandler(Handler handler);
    void SetDefaultProgram(const FakeProgram& program);

    // Every request that reached the backend, failed starts included.
    std::vector<ProcessStart> Starts() const;
    std::vector<std::string> CommandLines() const;
    // Durations given to Sleep, and time-outs given to waits, in order.
    std::vector<DWORD> Sleeps() const;
    std::vector<DWORD> Waits() const;
    // Started children still referenced by an open handle.
    int LiveChildren() const;

  private:
    class Child;
    struct State;

    std::shared_ptr<State> m_state;
};

} // namespace platform
