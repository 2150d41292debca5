// The headless backend: records instead of windows, a script instead of a user.
#include "platform/locked.h"
#include "platform/ui_headless.h"

#include <algorithm>
#include <stdexcept>

namespace platform::ui {

Window& HeadlessDialog::Control(int id) const {
    Window* c = m_dialog.child(id);
    if (!c)
        throw std::logic_error("dialog " + std::to_string(m_dialog.id) + " has no control " +
                               std::to_string(id));
    return *c;
}

std::string HeadlessDialog::Text(int id) const {
    return Control(id).text;
}
INT_PTR HeadlessDialog::Result() const {
    const DialogState* d = m_dialog.As<DialogState>();
    return d ? d->result : 0;
}

int HeadlessDialog::Focused() const {
    const DialogState* d = m_dialog.As<DialogState>();
    return d && d->focus ? d->focus->id : 0;
}

bool HeadlessDialog::Enabled(int id) const {
    return Control(id).enabled;
}
bool HeadlessDialog::Visible(int id) const {
    return Control(id).visible;
}
UINT HeadlessDialog::Checked(int id) const {
    return State<ButtonState>(id).check;
}
std::vector<std::string> HeadlessDialog::Items(int id) const {
    return State<ListBoxState>(id).items;
}
int HeadlessDialog::Selection(int id) const {
    return State<ListBoxState>(id).curSel;
}
UINT HeadlessDialog::LimitText(int id) const {
    return State<EditState>(id).limitText;
}
std::pair<int, int> HeadlessDialog::Range(int updownId) const {
    const UpDownState& u = State<UpDownState>(updownId);
    return {u.rangeLow, u.rangeHigh};
}

void HeadlessDialog::Type(int id, const std::string& text) {
    DeliverText(Control(id), text);
}
void HeadlessDialog::Click(int id) {
    DeliverClick(Control(id));
}
void HeadlessDialog::Select(int id, int index) {
    DeliverSelection(Control(id), index);
}
void HeadlessDialog::Spin(int updownId, int delta) {
    DeliverSpin(Control(updownId), delta);
}
void HeadlessDialog::Focus(int id) {
    DeliverFocus(Control(id));
}
void HeadlessDialog::Close() {
    DeliverClose(m_dialog);
}

void HeadlessDialog::Press(UINT vk, UINT modifiers) {
    // The character the key types, as a keyboard with a US layout gives it.
    char ch = 0;
    if (vk >= 'A' && vk <= 'Z')
        ch = static_cast<char>((modifiers & kKeyShift) ? vk : vk - 'A' + 'a');
    else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_TAB || vk == VK_RETURN ||
             vk == VK_ESCAPE)
        ch = static_cast<char>(vk);
    DeliverKey(m_dialog, vk, modifiers, ch);
}

bool HeadlessDialog::TimerRunning(UINT_PTR id) const {
    return m_dialog.timers.count(id) != 0;
}
void HeadlessDialog::Tick(UINT_PTR id) {
    DeliverTimer(m_dialog, id);
}
int HeadlessDialog::DeliverPosted() {
    return DeliverPostedMessages();
}

void HeadlessUi::Play(UINT templateId, DialogScript script) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scripts.emplace_back(templateId, std::move(script));
}

void HeadlessUi::Answer(int button) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(button);
}

std::vector<MessageBoxRecord> HeadlessUi::MessageBoxes() const {
    return platform::LockedCopy(m_mutex, m_boxes);
}

std::vector<UINT> HeadlessUi::DialogsRun() const {
    return platform::LockedCopy(m_mutex, m_dialogsRun);
}

std::vector<std::string> HeadlessUi::Problems() const {
    return platform::LockedCopy(m_mutex, m_problems);
}

std::vector<Window*> HeadlessUi::OpenDialogs() const {
    return platform::LockedCopy(m_mutex, m_open);
}

SIZE HeadlessUi::DialogBaseUnits(const std::string&, int) {
    // The classic base units of an 8-point dialog font at 96 dots per inch.
    return {6, 13};
}

int HeadlessUi::GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return 1024;
    case SM_CYSCREEN:
        return 768;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}

void HeadlessUi::Realize(Window& dialog) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.push_back(&dialog);
}

void HeadlessUi::Unrealize(Window& dialog) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.erase(std::remove(m_open.begin(), m_open.end(), &dialog), m_open.end());
}

void HeadlessUi::RunModalLoop(Window& dialog) {
    DialogScript script;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dialogsRun.push_back(static_cast<UINT>(dialog.id));
        auto it = std::find_if(m_scripts.begin(), m_scripts.end(), [&](const auto& s) {
            return s.first == static_cast<UINT>(dialog.id);
        });
        if (it != m_scripts.end()) {
            script = std::move(it->second);
            m_scripts.erase(it);
        } else {
            m_problems.push_back("dialog " + std::to_string(dialog.id) + " ran without a script");
        }
    }
    HWND handle = dialog.handle();
    HeadlessDialog user(dialog);
    if (script)
        script(user);
    if (FromHandle(handle) && !HasEnded(dialog)) {
        DeliverPostedMessages();
    }
    if (FromHandle(handle) && !HasEnded(dialog)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (script)
                m_problems.push_back("the script of dialog " + std::to_string(dialog.id) +
                                     " left it open");
        }
        HeadlessDialog(dialog).Escape();
        if (DialogState* d = dialog.As<DialogState>(); d && !d->ended) {
            d->ended = true;
            d->result = -1;
        }
    }
}

int HeadlessUi::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    MessageBoxRecord record{text, caption, type, 0};
    std::function<void(const MessageBoxRecord&)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_answers.empty()) {
            record.answer = m_answers.front();
            m_answers.pop_front();
        } else {
            record.answer = (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
        }
        m_boxes.push_back(record);
        hook = onMessageBox;
    }
    if (hook)
        hook(record);
    return record.answer;
}

} // namespace platform::ui
