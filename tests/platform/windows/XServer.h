// A private X server (Xvfb) for the tests, with openbox as the window manager when asked for.
#pragma once

#include <string>
#include <sys/types.h>

namespace testx {

class XServer {
  public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { Stop(); }

    // Starts Xvfb on a free display number, and openbox on it with withWindowManager. False with
    // *error when a program is missing or does not come up.
    bool Start(bool withWindowManager, std::string* error);
    void Stop();

    // ":N"
    const std::string& DisplayName() const { return m_display; }

  private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_display;
};

} // namespace testx
