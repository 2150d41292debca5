// The headless ui backend of the tests: nothing is shown; a test plays the user of each dialog
// with a script and answers the message boxes.
#pragma once

#include "UiBackend.h" // the records: the tests read them

#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform::ui {

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type;
    int answer;
};

// The user's view of a running dialog: read the controls, act on them.
class HeadlessDialog {
  public:
    explicit HeadlessDialog(Window& dialog) : m_dialog(dialog) {}

    Window& Record() const { return m_dialog; }
    CWnd* Object() const { return m_dialog.object; }
    UINT TemplateId() const { return static_cast<UINT>(m_dialog.id); }
    std::string Title() const { return m_dialog.text; }
    bool Ended() const { return HasEnded(m_dialog); }
    INT_PTR Result() const;

    // Control state; a missing control fails the running test.
    std::string Text(int id) const;
    bool Enabled(int id) const;
    bool Visible(int id) const;
    UINT Checked(int id) const;
    std::vector<std::string> Items(int id) const;
    int Selection(int id) const;
    UINT LimitText(int id) const;
    std::pair<int, int> Range(int updownId) const;

    // The control with the keyboard focus (its id), or 0 for none.
    int Focused() const;

    // The user's actions. Type, Click, Select and Spin act on the control directly (as the mouse
    // does, without moving the focus); keys go through the dialog manager to the focus.
    void Type(int id, const std::string& text);
    void Click(int id);
    void Select(int id, int index);
    void Spin(int updownId, int delta);
    void Focus(int id); // the user clicks into a control
    // A key: VK_ code (letters and digits as 'A'..'Z', '0'..'9'), with kKeyShift, kKeyAlt.
    void Press(UINT vk, UINT modifiers = 0);
    void Enter() { Press(VK_RETURN); }
    void Escape() { Press(VK_ESCAPE); }
    void PressF1() { Press(VK_F1); }
    void Close();

    // Timers and posted messages: a test is the clock and the message loop.
    bool TimerRunning(UINT_PTR id) const;
    void Tick(UINT_PTR id);
    int DeliverPosted();

  private:
    Window& Control(int id) const;
    // The state of a control's class; a control of another class fails the running test.
    template <typename T> T& State(int id) const {
        T* state = Control(id).As<T>();
        if (!state)
            throw std::logic_error("control " + std::to_string(id) + " is of another class");
        return *state;
    }
    Window& m_dialog;
};

using DialogScript = std::function<void(HeadlessDialog&)>;

class HeadlessUi : public UiBackend {
  public:
    // The next modal run of dialog templateId is played by the script (one script per run, in
    // the order given). A dialog that runs without a script, or that a script leaves open, is
    // recorded as a problem and closed with Escape.
    void Play(UINT templateId, DialogScript script);
    // The answers to the next message boxes, in order. Without one a box is answered with its
    // default button (OK, or Yes for Yes/No).
    void Answer(int button);
    // Called for every message box before it is answered (for example to look at other state).
    std::function<void(const MessageBoxRecord&)> onMessageBox;

    std::vector<MessageBoxRecord> MessageBoxes() const;
    std::vector<UINT> DialogsRun() const;
    std::vector<std::string> Problems() const;
    // Dialogs that exist now (modeless ones included), by template id.
    std::vector<Window*> OpenDialogs() const;

    SIZE DialogBaseUnits(const std::string& fontName, int points) override;
    SIZE ScreenSize() override { return {1024, 768}; }
    int GetSystemMetrics(int index) override;
    void Realize(Window& dialog) override;
    void Unrealize(Window& dialog) override;
    void Update(Window&) override {}
    void Paint(Window&) override {}
    void RunModalLoop(Window& dialog) override;
    void TimersChanged(Window&) override {}
    void Wake() override {}
    int MessageBox(const std::string& text, const std::string& caption, UINT type) override;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<UINT, DialogScript>> m_scripts;
    std::deque<int> m_answers;
    std::vector<MessageBoxRecord> m_boxes;
    std::vector<UINT> m_dialogsRun;
    std::vector<std::string> m_problems;
    std::vector<Window*> m_open;
};

} // namespace platform::ui
