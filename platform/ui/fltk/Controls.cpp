#include "Controls.h"

#include "Input.h"
#include "Look.h"
#include "Text.h"
#include "X11Util.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cctype>

namespace platform::ui::fltk {

namespace {

int Width(const RECT& r) {
    return static_cast<int>(r.right - r.left);
}
int Height(const RECT& r) {
    return static_cast<int>(r.bottom - r.top);
}

void Clicked(Fl_Widget* widget, void*) {
    if (auto* control = dynamic_cast<Control*>(widget); control && control->record())
        QueueInput({Input::Type::Click, control->record()});
}

} // namespace

bool KeyGoesToDialog(Kind kind) {
    const int key = Fl::event_key();
    if (Fl::event_state() & FL_ALT)
        return true;
    switch (key) {
    case FL_Enter:
    case FL_KP_Enter:
    case FL_Escape:
    case FL_Tab:
        return true;
    default:
        break;
    }
    if (key > FL_F && key <= FL_F_Last)
        return true;
    switch (kind) {
    case Kind::Edit:
        return key == FL_Up || key == FL_Down; // an up-down control may take them
    case Kind::PushButton:
    case Kind::CheckBox:
        return key != ' ';
    default:
        return true; // a list box leaves its keys to the framework's list
    }
}

PushButton* DefaultButtonIn(Fl_Window* window) {
    if (!window)
        return nullptr;
    if (auto* focused = dynamic_cast<PushButton*>(Fl::focus());
        focused && focused->window() == window)
        return focused;
    for (int i = 0; i < window->children(); ++i) {
        auto* button = dynamic_cast<PushButton*>(window->child(i));
        if (button && button->IsDefaultStyle() && button->visible())
            return button;
    }
    return nullptr;
}

DialogWindow* DialogOf(Fl_Widget* widget) {
    return widget ? dynamic_cast<DialogWindow*>(widget->window()) : nullptr;
}

// ---------------------------------------------------------------------------------------------

void Control::Sync(const Window& record) {
    kind_ = record.kind;
    style_ = record.style;
    caption_ = record.text;
    Fl_Widget* w = widget();
    const auto* dialog = dynamic_cast<const DialogWindow*>(w->window());
    const int inset = dialog ? dialog->frame() : 0;
    const RECT& r = record.rect;
    const int left = static_cast<int>(r.left) + inset, top = static_cast<int>(r.top) + inset;
    if (w->x() != left || w->y() != top || w->w() != Width(r) || w->h() != Height(r))
        w->resize(left, top, Width(r), Height(r));
    if (record.visible)
        w->show();
    else
        w->hide();
    if (record.enabled)
        w->activate();
    else
        w->deactivate();
    // Some controls draw outside what changed (a check box's focus, a group's caption): let
    // the window repaint the lot.
    if (Fl_Window* win = w->window())
        win->redraw();
    else
        w->redraw();
}

// ---------------------------------------------------------------------------------------------

PushButton::PushButton(Window* record, int x, int y, int w, int h, int fontSize)
    : WidgetControl(record, x, y, w, h), fontSize_(fontSize) {
    box(FL_NO_BOX);
}

void PushButton::Sync(const Window& record) {
    Control::Sync(record);
    const ButtonState* b = record.As<ButtonState>();
    default_ = b && b->isDefault;
}

void PushButton::draw() {
    const bool pressed = value() != 0;
    // A dialog's buttons show what the framework says; a message box's follow the focus.
    const bool isDefault = record_ ? default_ : DefaultButtonIn(window()) == this;
    DrawPushButtonFrame(x(), y(), w(), h(), pressed, isDefault);
    fl_font(DialogFont(), fontSize_);
    const int shift = pressed ? 1 : 0;
    DrawText(AnsiToUtf8(caption_), x() + shift, y() + shift, w(), h(), FL_ALIGN_CENTER, true,
             active_r());
    if (Fl::focus() == this)
        DrawFocusRect(x() + 4, y() + 4, w() - 8, h() - 8);
}

int PushButton::handle(int event) {
    if (event == FL_KEYBOARD && record_ && KeyGoesToDialog(Kind::PushButton))
        return 0;
    if (event == FL_SHORTCUT)
        return 0; // mnemonics are the window's business
    const int used = Fl_Button::handle(event);
    // The default frame follows the focus from button to button.
    if ((event == FL_FOCUS || event == FL_UNFOCUS) && window())
        window()->redraw();
    return used;
}

// ---------------------------------------------------------------------------------------------

CheckBox::CheckBox(Window& record, int fontSize) : WidgetControl(record), fontSize_(fontSize) {
    box(FL_NO_BOX);
}

void CheckBox::Sync(const Window& record) {
    Control::Sync(record);
    const ButtonState* b = record.As<ButtonState>();
    check_ = b ? b->check : BST_UNCHECKED;
}

void CheckBox::draw() {
    constexpr int kBox = 13;
    fl_color(kFaceColor);
    fl_rectf(x(), y(), w(), h());
    const int by = y() + (h() - kBox) / 2;
    DrawSunkenEdge(x(), by, kBox, kBox);
    // While the mouse holds it down, or when disabled, the box is grey inside.
    fl_color(value() || !active_r() ? kFaceColor : kFieldColor);
    fl_rectf(x() + 2, by + 2, kBox - 4, kBox - 4);
    if (check_ == BST_CHECKED) {
        // The 7 x 7 check mark of Windows, column by column: top row and height.
        static const int kTop[7] = {2, 3, 4, 3, 2, 1, 0};
        fl_color(active_r() ? kDarkShadowColor : kShadowColor);
        for (int i = 0; i < 7; ++i)
            fl_yxline(x() + 3 + i, by + 3 + kTop[i], by + 3 + kTop[i] + 2);
    }
    fl_font(DialogFont(), fontSize_);
    const int tx = x() + kBox + 4;
    const std::string text = AnsiToUtf8(caption_);
    DrawText(text, tx, y(), w() - (tx - x()), h(), FL_ALIGN_LEFT | FL_ALIGN_CLIP, true, active_r());
    if (Fl::focus() == this && !text.empty()) {
        int tw = 0, th = 0;
        const char saved = fl_draw_shortcut;
        fl_draw_shortcut = 1;
        fl_measure(PrefixedLabel(text).c_str(), tw, th, 0);
        fl_draw_shortcut = saved;
        const int fy = y() + (h() - th) / 2 - 1;
        DrawFocusRect(tx - 1, fy, std::min(tw + 2, x() + w() - tx + 1), th + 2);
    }
}

int CheckBox::handle(int event) {
    if (event == FL_KEYBOARD && KeyGoesToDialog(Kind::CheckBox))
        return 0;
    if (event == FL_SHORTCUT)
        return 0;
    return Fl_Button::handle(event);
}

// ---------------------------------------------------------------------------------------------

GroupBox::GroupBox(Window& record, int fontSize) : WidgetControl(record), fontSize_(fontSize) {
    clear_visible_focus();
}

void GroupBox::draw() {
    fl_font(DialogFont(), fontSize_);
    const int th = fl_height();
    const int top = y() + th / 2;
    DrawEtchedRect(x(), top, w(), h() - (top - y()));
    if (caption_.empty())
        return;
    const std::string text = AnsiToUtf8(caption_);
    int tw = 0, unused = 0;
    const char saved = fl_draw_shortcut;
    fl_draw_shortcut = 1;
    fl_measure(PrefixedLabel(text).c_str(), tw, unused, 0);
    fl_draw_shortcut = saved;
    // The caption sits on the top edge, on the face colour, a little in from the left.
    const int tx = x() + 8;
    tw = std::min(tw + 2, w() - 10);
    if (tw <= 0)
        return;
    fl_color(kFaceColor);
    fl_rectf(tx - 1, y(), tw, th);
    DrawText(text, tx, y(), tw, th, FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_CLIP, true, active_r());
}

// ---------------------------------------------------------------------------------------------

StaticText::StaticText(Window& record, int fontSize) : WidgetControl(record), fontSize_(fontSize) {
    clear_visible_focus();
}

void StaticText::draw() {
    fl_color(kFaceColor);
    fl_rectf(x(), y(), w(), h());
    const DWORD type = style_ & SS_TYPEMASK;
    Fl_Align align = FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP;
    align |= type == SS_CENTER  ? FL_ALIGN_CENTER
             : type == SS_RIGHT ? FL_ALIGN_RIGHT
                                : FL_ALIGN_LEFT;
    fl_font(DialogFont(), fontSize_);
    fl_push_clip(x(), y(), w(), h());
    DrawText(AnsiToUtf8(caption_), x(), y(), w(), h(), align, !(style_ & SS_NOPREFIX), active_r());
    fl_pop_clip();
}

// ---------------------------------------------------------------------------------------------

IconView::IconView(Window& record) : WidgetControl(record) {
    clear_visible_focus();
}

void IconView::Sync(const Window& record) {
    Control::Sync(record);
    const StaticState* st = record.As<StaticState>();
    const int iconId = st ? st->iconId : 0;
    if (iconId == iconId_)
        return;
    iconId_ = iconId;
    image_.reset();
    rgba_.clear();
    const IconImage* icon = FindIcon(static_cast<UINT>(iconId_));
    if (!icon || icon->width <= 0 || icon->height <= 0 ||
        icon->pixels.size() < static_cast<size_t>(icon->width) * icon->height)
        return;
    rgba_.reserve(icon->pixels.size() * 4);
    for (uint32_t argb : icon->pixels) {
        rgba_.push_back(static_cast<unsigned char>(argb >> 16));
        rgba_.push_back(static_cast<unsigned char>(argb >> 8));
        rgba_.push_back(static_cast<unsigned char>(argb));
        rgba_.push_back(static_cast<unsigned char>(argb >> 24));
    }
    image_ = std::make_unique<Fl_RGB_Image>(rgba_.data(), icon->width, icon->height, 4);
}

void IconView::draw() {
    fl_color(kFaceColor);
    fl_rectf(x(), y(), w(), h());
    // Drawn at its own size from the top left, as an SS_ICON static does.
    if (image_)
        image_->draw(x(), y());
}

// ---------------------------------------------------------------------------------------------

BlackRect::BlackRect(Window& record) : WidgetControl(record) {
    clear_visible_focus();
}

void BlackRect::draw() {
    fl_color(kDarkShadowColor);
    fl_rectf(x(), y(), w(), h());
}

// ---------------------------------------------------------------------------------------------

EditField::EditField(Window& record, int fontSize) : WidgetControl(record) {
    box(SunkenBox());
    color(kFieldColor);
    selection_color(kSelectionColor);
    cursor_color(FL_BLACK);
    textfont(DialogFont());
    textsize(fontSize);
    textcolor(FL_BLACK);
    when(FL_WHEN_CHANGED);
    callback(Changed);
}

void EditField::Sync(const Window& record) {
    Control::Sync(record);
    if (record.style & ES_PASSWORD)
        input_type(FL_SECRET_INPUT);
    const EditState* e = record.As<EditState>();
    maximum_size(e && e->limitText ? static_cast<int>(e->limitText) : 32767);
    color(record.enabled ? kFieldColor : kFaceColor);
    // Only a different text is set: setting it again would move the cursor while typing.
    const std::string text = AnsiToUtf8(record.text);
    if (text != value())
        value(text.c_str());
    // A selection the framework asked for (EM_SETSEL), applied once.
    if (e && e->selSerial != selSerial_) {
        selSerial_ = e->selSerial;
        const int length = size();
        const int from = std::clamp(e->selStart, 0, length);
        const int to = e->selEnd < 0 ? length : std::clamp(e->selEnd, 0, length);
        position(to, from);
    }
}

void EditField::Changed(Fl_Widget* widget, void*) {
    auto* edit = static_cast<EditField*>(widget);
    QueueInput({Input::Type::Text, edit->record(), 0, 0, Utf8ToAnsi(edit->value())});
}

int EditField::handle(int event) {
    if (event == FL_KEYBOARD && KeyGoesToDialog(Kind::Edit))
        return 0;
    if (event == FL_SHORTCUT)
        return 0;
    return Fl_Input::handle(event);
}

// ---------------------------------------------------------------------------------------------

ListBox::ListBox(Window& record, int fontSize) : WidgetControl(record) {
    box(SunkenBox());
    color(kFieldColor);
    selection_color(kSelectionColor);
    textfont(DialogFont());
    textsize(fontSize);
    textcolor(FL_BLACK);
    has_scrollbar(VERTICAL);
    when(FL_WHEN_CHANGED);
    callback(Changed);
}

void ListBox::Sync(const Window& record) {
    Control::Sync(record);
    const ListBoxState* l = record.As<ListBoxState>();
    if (!l)
        return;
    if (items_ != l->items) {
        items_ = l->items;
        clear();
        // "@." keeps FLTK from reading '@' in an entry name as a format code.
        for (const std::string& item : items_)
            add(("@." + AnsiToUtf8(item)).c_str());
    }
    const int wanted = l->curSel >= 0 && l->curSel < size() ? l->curSel + 1 : 0;
    if (value() != wanted) {
        if (wanted)
            value(wanted);
        else
            deselect();
    }
    if (wanted)
        make_visible(wanted);
}

void ListBox::Changed(Fl_Widget* widget, void*) {
    auto* list = static_cast<ListBox*>(widget);
    const int index = list->value() - 1;
    if (index >= 0)
        QueueInput({Input::Type::Selection, list->record(), index});
}

int ListBox::handle(int event) {
    if (event == FL_KEYBOARD || event == FL_SHORTCUT)
        return 0;
    return Fl_Hold_Browser::handle(event);
}

// ---------------------------------------------------------------------------------------------

UpDown::UpDown(Window& record) : WidgetControl(record) {
    clear_visible_focus();
}

UpDown::~UpDown() {
    Fl::remove_timeout(Repeat, this);
}

void UpDown::Sync(const Window& record) {
    Control::Sync(record);
    const UpDownState* u = record.As<UpDownState>();
    buddy_ = u ? u->buddy : nullptr;
}

void UpDown::draw() {
    const int half = h() / 2;
    const bool on = active_r();
    for (int part = 0; part < 2; ++part) {
        const int py = part == 0 ? y() : y() + half;
        const int ph = part == 0 ? half : h() - half;
        const bool pressed = pressed_ == (part == 0 ? 1 : -1);
        DrawPushButtonFrame(x(), py, w(), ph, pressed, false);
        // A small solid triangle in the middle of the half.
        const int shift = pressed ? 1 : 0;
        const int cx = x() + (w() - 1) / 2 + shift;
        const int cy = py + ph / 2 + shift;
        const int size = std::max(1, std::min((w() - 4) / 2 - 1, ph / 2 - 1)); // rows
        fl_color(on ? kDarkShadowColor : kShadowColor);
        for (int row = 0; row < size; ++row) {
            // Upper arrow: the tip at the top; lower arrow: the tip at the bottom.
            const int yy = part == 0 ? cy - size / 2 + row : cy + size / 2 - row - (size % 2 == 0);
            fl_xyline(cx - row, yy, cx + row);
        }
    }
}

int UpDown::handle(int event) {
    switch (event) {
    case FL_PUSH:
        if (!active_r() || Fl::event_button() != FL_LEFT_MOUSE)
            return 0;
        pressed_ = Fl::event_y() < y() + h() / 2 ? 1 : -1;
        redraw();
        Step();
        // Held down, the arrow repeats, as Windows' up-down control does.
        Fl::add_timeout(0.5, Repeat, this);
        return 1;
    case FL_DRAG:
        return 1;
    case FL_RELEASE:
        pressed_ = 0;
        Fl::remove_timeout(Repeat, this);
        redraw();
        return 1;
    default:
        return Fl_Widget::handle(event);
    }
}

void UpDown::Repeat(void* self) {
    auto* spin = static_cast<UpDown*>(self);
    if (!spin->pressed_)
        return;
    spin->Step();
    Fl::repeat_timeout(0.05, Repeat, self);
}

void UpDown::Step() {
    if (pressed_ && record())
        QueueInput({Input::Type::Spin, record(), pressed_});
}

// ---------------------------------------------------------------------------------------------

OwnerDrawButton::OwnerDrawButton(Window& record) : WidgetControl(record) {
    clear_visible_focus();
}

void OwnerDrawButton::SetPicture(const Surface& surface) {
    image_.reset();
    rgba_.clear();
    if (surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() < static_cast<size_t>(surface.width) * surface.height)
        return;
    rgba_.reserve(static_cast<size_t>(surface.width) * surface.height * 4);
    for (uint32_t argb : surface.pixels) {
        rgba_.push_back(static_cast<unsigned char>(argb >> 16));
        rgba_.push_back(static_cast<unsigned char>(argb >> 8));
        rgba_.push_back(static_cast<unsigned char>(argb));
        rgba_.push_back(static_cast<unsigned char>(argb >> 24));
    }
    image_ = std::make_unique<Fl_RGB_Image>(rgba_.data(), surface.width, surface.height, 4);
    redraw();
}

void OwnerDrawButton::draw() {
    if (!image_)
        return;
    fl_push_clip(x(), y(), w(), h());
    image_->draw(x(), y());
    fl_pop_clip();
}

// ---------------------------------------------------------------------------------------------

Control* MakeControl(Window& record, int fontSize) {
    Control* control = nullptr;
    const RECT& r = record.rect;
    switch (record.kind) {
    case Kind::PushButton: {
        auto* button = new PushButton(&record, r.left, r.top, Width(r), Height(r), fontSize);
        button->callback(Clicked);
        control = button;
        break;
    }
    case Kind::CheckBox: {
        auto* box = new CheckBox(record, fontSize);
        box->callback(Clicked);
        control = box;
        break;
    }
    case Kind::GroupBox:
        control = new GroupBox(record, fontSize);
        break;
    case Kind::OwnerDrawButton:
        control = new OwnerDrawButton(record);
        break;
    case Kind::Static:
        control = new StaticText(record, fontSize);
        break;
    case Kind::Icon:
        control = new IconView(record);
        break;
    case Kind::BlackRect:
        control = new BlackRect(record);
        break;
    case Kind::Edit:
        control = new EditField(record, fontSize);
        break;
    case Kind::ListBox:
        control = new ListBox(record, fontSize);
        break;
    case Kind::UpDown:
        control = new UpDown(record);
        break;
    case Kind::Dialog:
        return nullptr;
    }
    control->Sync(record);
    return control;
}

// ---------------------------------------------------------------------------------------------

namespace {

// A dialog without a caption gets no frame from the window manager; with DS_MODALFRAME Windows
// draws its dialog frame itself: a raised edge and a line of the face colour.
int FrameOf(const Window& record) {
    return !(record.style & WS_CAPTION) && (record.style & DS_MODALFRAME) ? 3 : 0;
}

} // namespace

DialogWindow::DialogWindow(Window& record, int fontSize)
    : Fl_Double_Window(record.rect.left - FrameOf(record), record.rect.top - FrameOf(record),
                       std::max(1, Width(record.rect)) + 2 * FrameOf(record),
                       std::max(1, Height(record.rect)) + 2 * FrameOf(record)),
      record_(&record), fontSize_(fontSize), frame_(FrameOf(record)) {
    color(kFaceColor);
    callback(CloseBox);
    if (!(record.style & WS_CAPTION))
        clear_border();
    if (const DialogState* d = record.As<DialogState>(); d && d->modal)
        set_modal();
    keepAbove_ = (record.style & DS_SYSMODAL) != 0;
}

DialogWindow::~DialogWindow() = default;

void DialogWindow::Sync(const Window& record) {
    const std::string title = AnsiToUtf8(record.text);
    if (!label() || title != label())
        copy_label(title.c_str());
    const RECT& r = record.rect;
    const int left = static_cast<int>(r.left) - frame_, top = static_cast<int>(r.top) - frame_;
    const int width = std::max(1, Width(r)) + 2 * frame_;
    const int height = std::max(1, Height(r)) + 2 * frame_;
    if (x() != left || y() != top || w() != width || h() != height)
        resize(left, top, width, height);
    enabled_ = record.enabled;
    if (record.visible && !shown())
        ShowDialog();
    else if (!record.visible && shown())
        hide();
    else
        ApplyFocus();
}

void DialogWindow::draw() {
    Fl_Double_Window::draw();
    if (frame_ <= 0)
        return;
    // Outer edge: face colour and black; inner edge: white and grey; then the face colour.
    const int w0 = w(), h0 = h();
    fl_color(kFaceColor);
    fl_xyline(0, 0, w0 - 2);
    fl_yxline(0, 0, h0 - 2);
    fl_color(kDarkShadowColor);
    fl_xyline(0, h0 - 1, w0 - 1);
    fl_yxline(w0 - 1, 0, h0 - 1);
    fl_color(kHighlightColor);
    fl_xyline(1, 1, w0 - 3);
    fl_yxline(1, 1, h0 - 3);
    fl_color(kShadowColor);
    fl_xyline(1, h0 - 2, w0 - 2);
    fl_yxline(w0 - 2, 1, h0 - 2);
    fl_color(kFaceColor);
    fl_rect(2, 2, w0 - 4, h0 - 4);
}

void DialogWindow::ShowDialog() {
    const bool first = !shown();
    ShowWithDialogFrame(this);
    if (!first)
        return;
    if (keepAbove_)
        KeepAbove(this);
    ApplyFocus();
}

void DialogWindow::ApplyFocus() {
    const DialogState* d = record_->As<DialogState>();
    auto* control = d && d->focus ? static_cast<Control*>(d->focus->backendData) : nullptr;
    if (!control || !shown() || Fl::focus() == control->widget())
        return;
    control->widget()->take_focus();
}

int DialogWindow::handle(int event) {
    switch (event) {
    case FL_KEYBOARD:
    case FL_SHORTCUT:
        if (!enabled_)
            return 0;
        ReportKey();
        return 1;
    case FL_PUSH:
    case FL_RELEASE:
    case FL_DRAG:
    case FL_MOUSEWHEEL:
        if (!enabled_)
            return 0;
        break;
    default:
        break;
    }
    return Fl_Double_Window::handle(event);
}

namespace {

// The Windows virtual key of the FLTK key of the event; 0 for one the dialogs do not know.
UINT VirtualKey(int key) {
    if (key >= 'a' && key <= 'z')
        return static_cast<UINT>(key - 'a' + 'A');
    if ((key >= '0' && key <= '9') || key == ' ')
        return static_cast<UINT>(key);
    if (key > FL_F && key <= FL_F_Last)
        return VK_F1 + static_cast<UINT>(key - FL_F - 1);
    switch (key) {
    case FL_Tab:
        return VK_TAB;
    case FL_Enter:
    case FL_KP_Enter:
        return VK_RETURN;
    case FL_Escape:
        return VK_ESCAPE;
    case FL_Page_Up:
        return VK_PRIOR;
    case FL_Page_Down:
        return VK_NEXT;
    case FL_End:
        return VK_END;
    case FL_Home:
        return VK_HOME;
    case FL_Left:
        return VK_LEFT;
    case FL_Up:
        return VK_UP;
    case FL_Right:
        return VK_RIGHT;
    case FL_Down:
        return VK_DOWN;
    default:
        return 0;
    }
}

} // namespace

void DialogWindow::ReportKey() {
    const int state = Fl::event_state();
    Input input{Input::Type::Key, record_, static_cast<int>(VirtualKey(Fl::event_key()))};
    input.modifiers = ((state & FL_SHIFT) ? kKeyShift : 0) | ((state & FL_CTRL) ? kKeyControl : 0) |
                      ((state & FL_ALT) ? kKeyAlt : 0);
    const std::string typed = Fl::event_text() ? Utf8ToAnsi(Fl::event_text()) : std::string();
    input.ch = typed.size() == 1 ? typed[0] : '\0';
    if (input.value != 0 || input.ch != '\0')
        QueueInput(std::move(input));
}

void DialogWindow::CloseBox(Fl_Widget* widget, void*) {
    auto* dialog = static_cast<DialogWindow*>(widget);
    if (!dialog->enabled_)
        return;
    // FLTK calls a window's callback for the close box and, when no widget takes it, for
    // Escape; the dialog handles Escape itself, so this is the close box.
    QueueInput({Input::Type::Close, dialog->record_});
}

} // namespace platform::ui::fltk
