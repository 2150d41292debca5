// What an end-to-end test sees of the X display: windows found by title, their size and
// pixels, the close box, and keys typed through xdotool.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

// A picture of a window's client area, 0xRRGGBB per pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class XProbe {
  public:
    XProbe();
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool Connected() const { return display_ != nullptr; }

    // A viewable window whose title is exactly `title`, waiting up to `seconds`; 0 for none.
    unsigned long WaitForWindow(const std::string& title, double seconds);
    // A viewable window of the process (_NET_WM_PID), for windows without a title.
    unsigned long WaitForWindowOf(int pid, double seconds);
    // Whether the window still exists and is viewable.
    bool Viewable(unsigned long window);
    // The client area's size.
    bool Size(unsigned long window, int* width, int* height);
    Picture Capture(unsigned long window);
    // Whether a window manager has announced itself (_NET_SUPPORTING_WM_CHECK).
    bool WindowManagerRunning();
    // Whether the window's _NET_WM_STATE holds the named state.
    bool HasState(unsigned long window, const std::string& state);
    // The names in an atom-list property (_NET_WM_WINDOW_TYPE, _NET_WM_ALLOWED_ACTIONS, ...).
    std::vector<std::string> AtomNames(unsigned long window, const std::string& property);
    // The 32-bit items of a property of any type (_NET_WM_PID, _MOTIF_WM_HINTS, ...).
    std::vector<unsigned long> Cardinals(unsigned long window, const std::string& property);
    // The close box: WM_DELETE_WINDOW, as a window manager sends it.
    void Close(unsigned long window);
    // Focuses the window and types keys (xdotool names, e.g. "Return", "alt+n").
    bool Keys(unsigned long window, const std::string& keys);

  private:
    unsigned long WaitFor(const std::function<bool(unsigned long)>& wanted, double seconds);
    unsigned long Find(unsigned long root, const std::function<bool(unsigned long)>& wanted,
                       int depth);
    std::vector<unsigned long> Values(unsigned long window, const std::string& property,
                                      unsigned long type);
    std::string Title(unsigned long window);

    ::_XDisplay* display_ = nullptr;
};

// Runs show-dialog with arguments; its standard output is read when it ends.
class ShowDialog {
  public:
    explicit ShowDialog(const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {});
    ~ShowDialog();
    ShowDialog(const ShowDialog&) = delete;
    ShowDialog& operator=(const ShowDialog&) = delete;

    bool Started() const { return pid_ > 0; }
    int Pid() const { return pid_; }
    // Waits up to `seconds` for the program to end. False when it is still running.
    bool Wait(double seconds);
    int ExitStatus() const { return status_; }
    const std::string& Output() const { return output_; }
    const std::string& Errors() const { return errors_; }

  private:
    void Drain(int fd, std::string& into);
    int pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = -1;
    std::string output_, errors_;
};

} // namespace e2e
