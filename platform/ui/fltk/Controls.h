// The FLTK widgets that show a dialog and its controls.
//
// A widget keeps its own copy of what it shows (caption, check state, items), taken from the
// framework's record by Sync() under the FLTK lock; drawing and event handling never read the
// record, which belongs to the dialog's thread.
#pragma once

#include "UiBackend.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>

#include <memory>
#include <string>
#include <vector>

namespace platform::ui::fltk {

// What every control widget knows of its record.
class Control {
  public:
    explicit Control(Window* record) : record_(record) {}
    virtual ~Control() = default;

    Window* record() const { return record_; } // null for a message box's buttons
    Kind kind() const { return kind_; }
    DWORD style() const { return style_; }
    const std::string& caption() const { return caption_; } // ANSI, as the record holds it

    virtual Fl_Widget* widget() = 0;
    // Takes over the record's state. Called under the FLTK lock, on the record's thread.
    virtual void Sync(const Window& record);

  protected:
    Window* record_;
    Kind kind_ = Kind::Static;
    DWORD style_ = 0;
    std::string caption_;
};

// A control that is the FLTK widget `Base`, by default where its record's rectangle says.
template <class Base> class WidgetControl : public Base, public Control {
  public:
    WidgetControl(Window* record, int x, int y, int w, int h) : Base(x, y, w, h), Control(record) {}
    explicit WidgetControl(Window& record)
        : WidgetControl(&record, static_cast<int>(record.rect.left),
                        static_cast<int>(record.rect.top),
                        static_cast<int>(record.rect.right - record.rect.left),
                        static_cast<int>(record.rect.bottom - record.rect.top)) {}
    Fl_Widget* widget() override { return this; }
};

// Creates the widget of a control record inside the current FLTK group.
Control* MakeControl(Window& record, int fontSize);

// A push button drawn the Windows way.
class PushButton : public WidgetControl<Fl_Button> {
  public:
    PushButton(Window* record, int x, int y, int w, int h, int fontSize);
    void Sync(const Window& record) override;
    void SetCaption(const std::string& ansi) { caption_ = ansi; }
    void SetDefault(bool isDefault) { default_ = isDefault; }
    bool IsDefaultStyle() const { return default_; }

  protected:
    void draw() override;
    int handle(int event) override;

  private:
    bool default_ = false;
    int fontSize_;
};

// The push button that Enter presses in a message box: the focused push button, else the one
// with the default style.
PushButton* DefaultButtonIn(Fl_Window* window);
// Whether a key pressed in a control of this kind is the dialog's business: everything but the
// keys of editing in an edit and the space bar on a button. The dialog window reports it to the
// framework's dialog manager.
bool KeyGoesToDialog(Kind kind);

class CheckBox : public WidgetControl<Fl_Button> {
  public:
    CheckBox(Window& record, int fontSize);
    void Sync(const Window& record) override;

  protected:
    void draw() override;
    int handle(int event) override;

  private:
    UINT check_ = 0;
    int fontSize_;
};

class GroupBox : public WidgetControl<Fl_Widget> {
  public:
    GroupBox(Window& record, int fontSize);

  protected:
    void draw() override;

  private:
    int fontSize_;
};

class StaticText : public WidgetControl<Fl_Widget> {
  public:
    StaticText(Window& record, int fontSize);

  protected:
    void draw() override;

  private:
    int fontSize_;
};

class IconView : public WidgetControl<Fl_Widget> {
  public:
    explicit IconView(Window& record);
    void Sync(const Window& record) override;

  protected:
    void draw() override;

  private:
    int iconId_ = -1;
    std::vector<unsigned char> rgba_;
    std::unique_ptr<Fl_RGB_Image> image_;
};

class BlackRect : public WidgetControl<Fl_Widget> {
  public:
    explicit BlackRect(Window& record);

  protected:
    void draw() override;
};

class EditField : public WidgetControl<Fl_Input> {
  public:
    EditField(Window& record, int fontSize);
    void Sync(const Window& record) override;

  protected:
    int handle(int event) override;

  private:
    static void Changed(Fl_Widget* w, void*);
    unsigned selSerial_ = 0;
};

class ListBox : public WidgetControl<Fl_Hold_Browser> {
  public:
    ListBox(Window& record, int fontSize);
    void Sync(const Window& record) override;

  protected:
    int handle(int event) override;

  private:
    static void Changed(Fl_Widget* w, void*);
    std::vector<std::string> items_;
};

// Two small arrow buttons that step the number in their buddy edit.
class UpDown : public WidgetControl<Fl_Widget> {
  public:
    explicit UpDown(Window& record);
    ~UpDown() override;
    void Sync(const Window& record) override;
    Window* buddy() const { return buddy_; }

  protected:
    void draw() override;
    int handle(int event) override;

  private:
    static void Repeat(void* self);
    void Step();
    Window* buddy_ = nullptr;
    int pressed_ = 0; // +1 the upper arrow, -1 the lower one
};

// An owner-drawn button: shows the picture its DrawItem last painted into the record's surface
// (taken over by SetPicture); before the first paint, what lies beneath shows through.
class OwnerDrawButton : public WidgetControl<Fl_Widget> {
  public:
    explicit OwnerDrawButton(Window& record);
    void SetPicture(const Surface& surface);

  protected:
    void draw() override;

  private:
    std::vector<unsigned char> rgba_;
    std::unique_ptr<Fl_RGB_Image> image_;
};

// The window of a dialog. It reports the keys its controls leave to it, and puts the focus where
// the framework's record says.
class DialogWindow : public Fl_Double_Window {
  public:
    DialogWindow(Window& record, int fontSize);
    ~DialogWindow() override;

    Window* record() const { return record_; }
    int fontSize() const { return fontSize_; }
    // Width of the frame this window draws itself around the dialog's client area.
    int frame() const { return frame_; }
    void Adopt(Control* control) { controls_.push_back(control); }
    const std::vector<Control*>& controls() const { return controls_; }

    void Sync(const Window& record);
    // Shows the window, keeps it above others when the dialog is system-modal, and puts the
    // focus where the record says.
    void ShowDialog();

    int handle(int event) override;

  protected:
    void draw() override;

  private:
    void ReportKey();
    void ApplyFocus();
    static void CloseBox(Fl_Widget* w, void*);

    Window* record_;
    int fontSize_;
    int frame_ = 0;
    bool enabled_ = true;
    bool keepAbove_ = false;
    std::vector<Control*> controls_; // in template order
};

// The dialog window a widget lives in, or null.
DialogWindow* DialogOf(Fl_Widget* widget);

} // namespace platform::ui::fltk
