#include "platform/process_fake.h"

#include <deque>

namespace platform {

struct FakeProcessBackend::State {
    mutable std::mutex mutex;
    std::deque<FakeProgram> queue;
    Handler handler;
    FakeProgram defaultProgram;
    std::vector<ProcessStart> starts;
    std::vector<DWORD> sleeps;
    std::vector<DWORD> waits;
    int liveChildren = 0;
    DWORD nextProcessId = 1000;
};

class FakeProcessBackend::Child : public ChildProcess {
  public:
    Child(std::shared_ptr<State> state, const FakeProgram& program, DWORD processId)
        : m_state(std::move(state)), m_program(program), m_processId(processId) {
        std::lock_guard lock(m_state->mutex);
        ++m_state->liveChildren;
    }
    ~Child() override {
        std::lock_guard lock(m_state->mutex);
        --m_state->liveChildren;
    }

    DWORD Wait(DWORD milliseconds, DWORD* /*error*/) override {
        std::lock_guard lock(m_state->mutex);
        m_state->waits.push_back(milliseconds);
        if (m_program.running && milliseconds == INFINITE) {
            m_program.running = false;
        }
        return m_program.running ? WAIT_TIMEOUT : WAIT_OBJECT_0;
    }

    DWORD ExitCode(DWORD* exitCode) override {
        std::lock_guard lock(m_state->mutex);
        if (m_program.exitCodeError != ERROR_SUCCESS) {
            return m_program.exitCodeError;
        }
        *exitCode = m_program.running ? STILL_ACTIVE : m_program.exitCode;
        return ERROR_SUCCESS;
    }

    DWORD ProcessId() const override { return m_processId; }

  private:
    std::shared_ptr<State> m_state; // children may outlive the backend
    FakeProgram m_program;
    const DWORD m_processId;
};

FakeProcessBackend::FakeProcessBackend() : m_state(std::make_shared<State>()) {}

FakeProcessBackend::~FakeProcessBackend() = default;

DWORD FakeProcessBackend::Start(const ProcessStart& request, std::shared_ptr<ChildProcess>* child) {
    FakeProgram program;
    Handler handler;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->starts.push_back(request);
        if (!m_state->queue.empty()) {
            program = m_state->queue.front();
            m_state->queue.pop_front();
        } else if (m_state->handler) {
            handler = m_state->handler;
        } else {
            program = m_state->defaultProgram;
        }
    }
    if (handler) {
        program = handler(request);
    }
    if (program.startError != ERROR_SUCCESS) {
        return program.startError;
    }
    DWORD processId;
    {
        std::lock_guard lock(m_state->mutex);
        processId = m_state->nextProcessId++;
    }
    *child = std::make_shared<Child>(m_state, program, processId);
    return ERROR_SUCCESS;
}

void FakeProcessBackend::Sleep(DWORD milliseconds) {
    std::lock_guard lock(m_state->mutex);
    m_state->sleeps.push_back(milliseconds);
}

void FakeProcessBackend::QueueProgram(const FakeProgram& program) {
    std::lock_guard lock(m_state->mutex);
    m_state->queue.push_back(program);
}

void FakeProcessBackend::SetHandler(Handler handler) {
    std::lock_guard lock(m_state->mutex);
    m_state->handler = std::move(handler);
}

void FakeProcessBackend::SetDefaultProgram(const FakeProgram& program) {
    std::lock_guard lock(m_state->mutex);
    m_state->defaultProgram = program;
}

std::vector<ProcessStart> FakeProcessBackend::Starts() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->starts;
}

std::vector<std::string> FakeProcessBackend::CommandLines() const {
    std::lock_guard lock(m_state->mutex);
    std::vector<std::string> lines;
    for (const ProcessStart& start : m_state->starts) {
        lines.push_back(start.commandLine);
    }
    return lines;
}

std::vector<DWORD> FakeProcessBackend::Sleeps() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->sleeps;
}

std::vector<DWORD> FakeProcessBackend::Waits() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->waits;
}

int FakeProcessBackend::LiveChildren() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->liveChildren;
}

} // namespace platform
