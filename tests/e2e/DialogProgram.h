// The show-dialog program as the end-to-end tests run it: started with arguments, its output
// read when it ends.
#pragma once

#include <string>
#include <vector>

namespace e2e {

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
