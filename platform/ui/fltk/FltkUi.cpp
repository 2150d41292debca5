// The FLTK backend of the ui service.
//
// Lock discipline: FLTK's lock is taken only inside the backend's own calls and is never held
// while the framework runs the system's handlers, so the main thread never holds it while it
// waits for a child program and the splash thread can always get it.
#include "platform/ui_fltk.h"

#include "UiBackend.h"

#include "Controls.h"
#include "Input.h"
#include "Look.h"
#include "MessageBox.h"
#include "X11Util.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>

#include <chrono>
#include <map>
#include <utility>

namespace platform::ui {

namespace {

using namespace platform::ui::fltk;
using Clock = std::chrono::steady_clock;

class Lock {
  public:
    Lock() { Fl::lock(); }
    ~Lock() { Fl::unlock(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

struct Timer {
    Window* window;
    UINT_PTR id;
    UINT period; // ms
    Clock::time_point due;
};

class FltkUi final : public UiBackend {
  public:
    ~FltkUi() override;

    SIZE DialogBaseUnits(const std::string& fontName, int points) override;
    SIZE ScreenSize() override;
    int GetSystemMetrics(int index) override;
    void Realize(Window& dialog) override;
    void Unrealize(Window& dialog) override;
    void Update(Window& window) override;
    void Paint(Window& window) override;
    void RunModalLoop(Window& dialog) override;
    void TimersChanged(Window& window) override;
    void Wake() override;
    int MessageBox(const std::string& text, const std::string& caption, UINT type) override;

  private:
    static void TimerDue(void* data);
    void RemoveTimersOf(const Window& window);
    // With the lock held once: lets the owner-draw controls of a dialog paint themselves (the
    // system's DrawItem runs without the lock) and takes their pictures over.
    void PaintOwnerDrawControls(Window& dialog);
    // With the lock held once: releases it, hands queued input and posted messages to the
    // framework until none is left (or the dialog has ended), and takes it again.
    void Pump(const Window* dialog);

    std::map<std::pair<const Window*, UINT_PTR>, std::unique_ptr<Timer>> timers_;
};

DialogWindow* DialogWindowOf(const Window& window) {
    const Window* top = &window;
    while (top->parent)
        top = top->parent;
    return static_cast<DialogWindow*>(top->backendData);
}

FltkUi::~FltkUi() {
    Lock lock;
    for (auto& entry : timers_)
        Fl::remove_timeout(TimerDue, entry.second.get());
    timers_.clear();
}

SIZE FltkUi::DialogBaseUnits(const std::string&, int points) {
    // "MS Sans Serif" and "Helv" both map to FLTK's sans-serif font, as does any other face.
    Lock lock;
    return BaseUnitsOf(FontPixels(points > 0 ? points : 8));
}

SIZE FltkUi::ScreenSize() {
    Lock lock;
    int x = 0, y = 0, w = 0, h = 0;
    Fl::screen_xywh(x, y, w, h, 0);
    return SIZE{w, h};
}

int FltkUi::GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSCREEN:
        return static_cast<int>(ScreenSize().cx);
    case SM_CYSCREEN:
        return static_cast<int>(ScreenSize().cy);
    default:
        return 0;
    }
}

void FltkUi::Realize(Window& dialog) {
    Lock lock;
    if (dialog.backendData)
        return;
    const DialogState* state = dialog.As<DialogState>();
    const int points = state && state->dialogTemplate && state->dialogTemplate->fontPoints > 0
                           ? state->dialogTemplate->fontPoints
                           : 8;
    // A window made while another group is open would become a subwindow of it.
    Fl_Group::current(nullptr);
    auto* window = new DialogWindow(dialog, FontPixels(points));
    // Group boxes go first so that they are painted beneath the controls they frame.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto& child : dialog.children) {
            if ((child->kind == Kind::GroupBox) != (pass == 0))
                continue;
            child->backendData = MakeControl(*child, window->fontSize());
        }
    }
    for (auto& child : dialog.children) {
        if (child->backendData)
            window->Adopt(static_cast<Control*>(child->backendData));
    }
    window->end();
    Fl_Group::current(nullptr);
    dialog.backendData = window;
    window->Sync(dialog);
}

void FltkUi::Unrealize(Window& dialog) {
    Lock lock;
    RemoveTimersOf(dialog);
    for (auto& child : dialog.children)
        RemoveTimersOf(*child);
    ForgetInput(dialog);
    auto* window = static_cast<DialogWindow*>(dialog.backendData);
    dialog.backendData = nullptr;
    for (auto& child : dialog.children)
        child->backendData = nullptr;
    if (!window)
        return;
    window->hide();
    delete window;
    Fl::flush();
}

void FltkUi::Update(Window& window) {
    Lock lock;
    if (window.kind == Kind::Dialog) {
        if (auto* dialog = static_cast<DialogWindow*>(window.backendData))
            dialog->Sync(window);
        return;
    }
    if (auto* control = static_cast<Control*>(window.backendData))
        control->Sync(window);
}

void FltkUi::Paint(Window& window) {
    Lock lock;
    DialogWindow* dialog = DialogWindowOf(window);
    if (!dialog || !dialog->shown())
        return;
    // A new window shows nothing until its first expose has been handled; after that a flush
    // puts the whole picture on the screen, with no event loop needed afterwards.
    dialog->wait_for_expose();
    Window* top = &window;
    while (top->parent)
        top = top->parent;
    PaintOwnerDrawControls(*top);
    dialog->redraw();
    Fl::flush();
    SyncDisplay();
}

void FltkUi::RunModalLoop(Window& dialog) {
    Lock lock;
    auto* window = static_cast<DialogWindow*>(dialog.backendData);
    if (!window || HasEnded(dialog))
        return;
    PushModal(&dialog);
    if (!window->shown())
        window->set_modal();
    window->ShowDialog();
    PaintOwnerDrawControls(dialog);
    while (!HasEnded(dialog)) {
        Pump(&dialog);
        if (HasEnded(dialog))
            break;
        Fl::wait();
    }
    PopModal();
}

void FltkUi::PaintOwnerDrawControls(Window& dialog) {
    for (auto& child : dialog.children) {
        if (child->kind != Kind::OwnerDrawButton || !child->visible)
            continue;
        Fl::unlock();
        // What lies beneath an owner-draw button is the dialog's face colour.
        PaintOwnerDraw(*child, 0xFFC0C0C0u);
        Fl::lock();
        if (auto* button =
                dynamic_cast<OwnerDrawButton*>(static_cast<Control*>(child->backendData)))
            button->SetPicture(child->surface);
    }
}

void FltkUi::Pump(const Window* dialog) {
    Fl::unlock();
    while (true) {
        const int input = DeliverQueuedInput(dialog);
        if (dialog && HasEnded(*dialog))
            break;
        const int posted = DeliverPostedMessages();
        if (input == 0 && posted == 0)
            break;
    }
    Fl::lock();
}

void FltkUi::TimersChanged(Window& window) {
    Lock lock;
    for (auto it = timers_.begin(); it != timers_.end();) {
        Timer& t = *it->second;
        auto wanted = window.timers.find(t.id);
        if (t.window == &window && (wanted == window.timers.end() || wanted->second != t.period)) {
            Fl::remove_timeout(TimerDue, &t);
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& [id, period] : window.timers) {
        auto& slot = timers_[{&window, id}];
        if (slot)
            continue;
        // Windows raises periods below 10 ms to 10 ms.
        const UINT ms = period < 10 ? 10 : period;
        slot = std::make_unique<Timer>(
            Timer{&window, id, ms, Clock::now() + std::chrono::milliseconds(ms)});
        Fl::add_timeout(ms / 1000.0, TimerDue, slot.get());
    }
}

void FltkUi::TimerDue(void* data) {
    auto* t = static_cast<Timer*>(data);
    QueueInput({Input::Type::Timer, t->window, 0, t->id});
    // The next tick keeps to the period's rhythm, but a tick missed while the thread was busy
    // is not made up for.
    const auto now = Clock::now();
    t->due += std::chrono::milliseconds(t->period);
    if (t->due <= now)
        t->due = now + std::chrono::milliseconds(t->period);
    Fl::add_timeout(std::chrono::duration<double>(t->due - now).count(), TimerDue, t);
}

void FltkUi::RemoveTimersOf(const Window& window) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == &window) {
            Fl::remove_timeout(TimerDue, it->second.get());
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void FltkUi::Wake() {
    Fl::awake();
}

int FltkUi::MessageBox(const std::string& text, const std::string& caption, UINT type) {
    Lock lock;
    Fl_Group::current(nullptr);
    MessageBoxWindow box(text, caption, type);
    PushModal(nullptr);
    ShowWithDialogFrame(&box);
    if (box.KeepsAbove())
        KeepAbove(&box);
    box.FocusDefault();
    // Like Windows' MessageBox, the loop goes on delivering timer ticks and posted messages to
    // the windows beneath, which take no user input meanwhile.
    while (!box.result()) {
        Pump(nullptr);
        if (box.result())
            break;
        Fl::wait();
    }
    PopModal();
    box.hide();
    Fl::flush();
    return box.result();
}

} // namespace

UiBackendPtr OpenFltkUi(std::string& error) {
    const std::string before = OpenDescriptors();
    if (!OpenDisplay(error))
        return nullptr;
    // The first lock turns on FLTK's thread support (and makes its wake-up pipe).
    Fl::lock();
    CloseOnExecSince(before);
    InstallLook();
    InstallInputHooks();
    Fl::unlock();
    return UiBackendPtr(new FltkUi);
}

} // namespace platform::ui
