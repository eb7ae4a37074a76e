// SPDX-License-Identifier: MIT
// Drives dialogs as a user would, for tests. Each backend implements it with its
// own means (QTest on Qt), so the dialog tests are written once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tarnel/ui/dialog.h"
#include "tarnel/ui/layout.h"

namespace tarnel::ui::test {

enum class Key {
    Enter,
    Escape,
    Tab,
    BackTab,
    Space,
    A,
    C,
    V,
    X,
    Z,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    PageUp,
    PageDown,
    Backspace,
    Delete,
    F1,
    F4,
    Menu,
    CyrillicEfOnA,  ///< the A key of a Russian layout, which types "ф"
    CyrillicYaOnZ,  ///< the Z key of a Russian layout, which types "я"
};

enum Modifiers : unsigned {
    kNoModifier = 0,
    kCtrl = 1,
    kShift = 2,
    kAlt = 4,
};

/// What a modal window showed when the driver found it.
struct ModalWindow {
    bool found = false;
    std::string caption;
    std::vector<std::string> texts;        ///< its labels, in order
    std::vector<std::string> buttons;      ///< its buttons' texts, in order
    std::vector<std::string> image_names;  ///< what a screen reader says for each image
    bool warning_icon = false;
    /// Its owner is the main window: for the program, and for the window system,
    /// which keeps an owned window over its owner (X11's and Wayland's transient parent).
    bool owned_by_main_window = false;
    /// Whether the window system tells a program where its windows are; Wayland does
    /// not, and leaves their placement to the compositor.
    bool placement_known = true;
    bool centred_over_owner = false;  ///< meaningful where the placement is known
    bool owner_takes_input = true;    ///< whether the main window still took input
};

/// The items of a popup menu that the driver found open.
struct PopupMenu {
    bool found = false;
    std::vector<std::string> items;             ///< "" for a separator
    std::vector<bool> enabled;                  ///< for each item
    std::vector<std::string> accessible_names;  ///< what a screen reader says for each item
};

enum class CloseBy {
    Enter,
    Escape,
    CloseBox,
    /// Enter, and then the window system reports the closed window active, as a
    /// compositor does when its notice crosses the close: a user's quick Enter.
    EnterActivatedLate,
};

/// Where a control of an open dialog sits, in pixels of its client area.
struct ControlGeometry {
    int x, y, width, height;
    bool is_icon;
    int text_height;  ///< a label's: the height its text needs at its width; else 0
};

class Driver {
  public:
    /// Starts the backend for a program named after `program_path`.
    explicit Driver(const char* program_path);
    /// Ends the backend.
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    /// Opens `dialog` as the main window, as DoModal would show it, without a modal
    /// loop: the test goes on while the window is open.
    void Open(CDialog& dialog);
    bool IsOpen(const CDialog& dialog) const;
    /// Closes a dialog that Open showed, as its close box would.
    void Close(CDialog& dialog);

    void Press(Key key, unsigned modifiers = kNoModifier);
    /// Types UTF-8 `text` into the focused control, character by character.
    void Type(const std::string& text);
    /// As an input method: shows `text` being composed in the focused control, and
    /// commits `text` to it.
    void Compose(const std::string& text);
    void Commit(const std::string& text);
    void Click(CDialog& dialog, int id);
    /// Right click on the dialog's background, away from the controls.
    void RightClickBackground(CDialog& dialog);
    /// Right click in the middle of control `id`.
    void RightClick(CDialog& dialog, int id);
    /// Clicks an edit control just before character `position` as it is shown, with
    /// `modifiers` held; and drags the mouse from one character to another.
    void ClickCharacter(CDialog& dialog, int id, int position, unsigned modifiers = kNoModifier);
    void DragOverCharacters(CDialog& dialog, int id, int from, int to);

    /// The id of the control with the focus, or 0.
    int FocusedId() const;
    std::string Text(CDialog& dialog, int id) const;
    /// The selection of an edit control, in characters; start == end without one.
    void Selection(CDialog& dialog, int id, int& start, int& end) const;
    /// The first visible line of a multi-line edit control.
    int FirstVisibleLine(CDialog& dialog, int id) const;
    /// Turns the mouse wheel over a multi-line edit control by `notches` (down when
    /// positive), and drags its scroll bar to `fraction` (0 = top, 1 = bottom).
    void Wheel(CDialog& dialog, int id, int notches);
    void DragScrollBar(CDialog& dialog, int id, double fraction);
    /// Paints the whole window now, as a display would show it.
    void Paint(CDialog& dialog);
    /// Puts UTF-8 `text` on the clipboard, and reads it back.
    void SetClipboard(const std::string& text);
    std::string Clipboard() const;
    /// The X11 primary selection, where the window system has one.
    bool HasPrimarySelection() const;
    std::string PrimarySelection() const;

    /// Every visual line of a multi-line edit control as it wraps them (laying out
    /// all of its text), and those in view; without their line breaks.
    std::vector<std::string> WrappedLines(CDialog& dialog, int id) const;
    std::vector<std::string> LinesInView(CDialog& dialog, int id) const;
    /// How the control would wrap `text` laid out at once as one paragraph, for
    /// comparison with what it shows.
    std::vector<std::string> WrapAsOneParagraph(CDialog& dialog, int id,
                                                const std::string& text) const;
    /// What a screen reader learns of an edit control: its text and the caret.
    std::string AccessibleText(CDialog& dialog, int id) const;
    int AccessibleCaret(CDialog& dialog, int id) const;
    /// What a screen reader hears when control `id` reports `text` typed, deleted,
    /// and typed over itself, as Qt's edit controls report changes to a live
    /// accessibility bridge: the texts the change events carry when they reach the
    /// bridge, in order. (The offscreen platform has no bridge, and on it Qt's
    /// controls report nothing, so the driver reports for them.)
    std::vector<std::string> HeardTextChanges(CDialog& dialog, int id, const std::string& text);
    /// Where the separately laid-out regions of the control's long lines begin, in
    /// characters; empty for a control that lays a line out whole.
    std::vector<int> RegionStarts(CDialog& dialog, int id) const;

    /// Arms a watch: when the next modal window with `caption` opens, `seen` records
    /// it, `while_open` runs, and the window is closed `by`. Should no such window
    /// open within a few seconds, the driver closes whatever modal window is open,
    /// so that a test never hangs, and `seen` stays not found.
    void WhenModalOpens(const std::string& caption, ModalWindow& seen, CloseBy by,
                        std::function<void()> while_open = {});
    /// Arms a watch for the next popup menu: `seen` records its items, then the
    /// item whose text is `choose` is chosen, or the menu is closed with Esc when
    /// `choose` is empty.
    void WhenPopupOpens(PopupMenu& seen, const std::string& choose = {});

    /// The controls of `dialog`, in template order.
    std::vector<ControlGeometry> Controls(CDialog& dialog) const;
    /// The base units `dialog` was laid out with.
    BaseUnits Units(CDialog& dialog) const;

    /// Disarms every watch that has not fired, so none outlives its test.
    void CancelWatches();

    /// The window system the backend runs on: "windows", or Qt's platform name
    /// ("xcb", "wayland", "offscreen").
    std::string WindowSystem() const;

    /// Lets the backend handle what is pending.
    void ProcessEvents();
};

}  // namespace tarnel::ui::test
