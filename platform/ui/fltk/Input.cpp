#include "Input.h"

#include "Controls.h"

#include <FL/Fl.H>

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

namespace platform::ui::fltk {

namespace {

std::deque<Input>& Queue() {
    static std::deque<Input> queue;
    return queue;
}

bool Within(const Window* window, const Window& ancestor) {
    for (; window; window = window->parent) {
        if (window == &ancestor)
            return true;
    }
    return false;
}

std::vector<const Window*>& Modals() {
    static std::vector<const Window*> modals;
    return modals;
}

const Window* DialogOfRecord(const Window* window) {
    while (window && window->parent)
        window = window->parent;
    return window;
}

// Whether the user's input to this window may go through now.
bool Reachable(const Input& input) {
    if (input.type == Input::Type::Timer)
        return true;
    const Window* dialog = DialogOfRecord(input.window);
    if (!Modals().empty() && Modals().back() != dialog)
        return false;
    if (!dialog->enabled)
        return false;
    return input.window == dialog || (input.window->enabled && input.window->visible);
}

std::optional<Input> TakeNext() {
    Fl::lock();
    std::optional<Input> next;
    if (!Queue().empty()) {
        next = std::move(Queue().front());
        Queue().pop_front();
    }
    const bool reachable = next && Reachable(*next);
    Fl::unlock();
    if (next && !reachable)
        next->window = nullptr; // dropped, as a disabled window drops the mouse and keys
    return next;
}

bool g_replaying = false;

// Hands a held key to FLTK again, as if it had just come from the display.
void Replay(const Input& input) {
    Fl::lock();
    auto* dialog = static_cast<DialogWindow*>(input.window->backendData);
    if (dialog) {
        static char text[32];
        std::strncpy(text, input.text.c_str(), sizeof text - 1);
        Fl::e_keysym = Fl::e_original_keysym = input.value;
        Fl::e_state = static_cast<int>(input.modifiers);
        Fl::e_text = text;
        Fl::e_length = static_cast<int>(std::strlen(text));
        g_replaying = true;
        Fl::handle_(FL_KEYBOARD, dialog);
        g_replaying = false;
    }
    Fl::unlock();
}

void Deliver(Input& input) {
    Window& w = *input.window;
    switch (input.type) {
    case Input::Type::Click:
        DeliverClick(w);
        break;
    case Input::Type::Selection:
        DeliverSelection(w, input.value);
        break;
    case Input::Type::Text:
        DeliverText(w, input.text);
        break;
    case Input::Type::Spin:
        DeliverSpin(w, input.value);
        break;
    case Input::Type::Key:
        DeliverKey(w, static_cast<UINT>(input.value), input.modifiers, input.ch);
        break;
    case Input::Type::Focus:
        DeliverFocus(w);
        break;
    case Input::Type::HeldKey:
        Replay(input);
        break;
    case Input::Type::Close:
        DeliverClose(w);
        break;
    case Input::Type::Timer:
        // A tick that was queued before KillTimer is not delivered, as on Windows.
        if (w.timers.count(input.timerId))
            DeliverTimer(w, input.timerId);
        break;
    }
}

int DispatchEvent(int event, Fl_Window* window) {
    auto* dialog = dynamic_cast<DialogWindow*>(window);
    if (event == FL_KEYBOARD && dialog && !g_replaying && !Queue().empty()) {
        Input held{Input::Type::HeldKey, dialog->record(), Fl::event_key()};
        held.text = Fl::event_text() ? Fl::event_text() : "";
        held.modifiers = static_cast<UINT>(Fl::event_state());
        Queue().push_back(std::move(held));
        return 1;
    }
    Fl_Widget* before = Fl::focus();
    const int used = Fl::handle_(event, window);
    if (event == FL_PUSH && dialog && Fl::focus() != before) {
        auto* control = dynamic_cast<Control*>(Fl::focus());
        if (control && control->record())
            QueueInput({Input::Type::Focus, control->record()});
    }
    return used;
}

} // namespace

void QueueInput(Input input) {
    auto& queue = Queue();
    // Windows keeps at most one WM_TIMER of a timer waiting; a loop that was held up (the
    // 3-second pause of a redial) must not get a burst of ticks afterwards.
    if (input.type == Input::Type::Timer) {
        const bool waiting = std::any_of(queue.begin(), queue.end(), [&](const Input& q) {
            return q.type == Input::Type::Timer && q.window == input.window &&
                   q.timerId == input.timerId;
        });
        if (waiting)
            return;
    }
    queue.push_back(std::move(input));
}

void InstallInputHooks() {
    Fl::event_dispatch(DispatchEvent);
}

void ForgetInput(const Window& window) {
    auto& queue = Queue();
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const Input& q) { return Within(q.window, window); }),
                queue.end());
}

bool InputPending() {
    return !Queue().empty();
}

void PushModal(const Window* dialog) {
    Modals().push_back(dialog);
}

void PopModal() {
    if (!Modals().empty())
        Modals().pop_back();
}

int DeliverQueuedInput(const Window* dialog) {
    int delivered = 0;
    while (!(dialog && HasEnded(*dialog))) {
        std::optional<Input> next = TakeNext();
        if (!next)
            break;
        if (!next->window)
            continue;
        Deliver(*next);
        ++delivered;
    }
    return delivered;
}

} // namespace platform::ui::fltk
