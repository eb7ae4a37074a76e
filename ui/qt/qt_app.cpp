// SPDX-License-Identifier: MIT
// The framework's global services on Qt: start, keys, icons, message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <memory>
#include <string>

#include "qt_backend.h"
#include "tarnel/hardening.h"
#include "tarnel/ui/app.h"

namespace tarnel::ui {
namespace qt {
namespace {

struct Backend {
    std::string program;
    int argc = 1;
    char* argv[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> application;
    std::map<int, std::unique_ptr<QIcon>> icons;
};

Backend& backend() {
    static Backend instance;
    return instance;
}

/// The modifiers of the key event being handled, while one is.
struct KeyEventState {
    bool active = false;
    Qt::KeyboardModifiers modifiers;
};

KeyEventState& key_event() {
    static KeyEventState state;
    return state;
}

/// The virtual-key code of the key, with letters by their Latin meaning: a key that
/// gives a letter of another script counts as the Latin letter of its place in the
/// US layout, as Windows assigns virtual keys.
UINT virtual_key(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<UINT>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<UINT>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_Menu:
            return VK_APPS;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Alt:
            return VK_MENU;
        default:
            break;
    }
    // XKB key codes of the letter keys (evdev + 8), row by row as on a US keyboard;
    // X11 and Wayland both report them as the native scan code.
    static constexpr char kRows[] = "qwertyuiop....asdfghjkl.....zxcvbnm";
    const quint32 code = event.nativeScanCode();
    if (code >= 24 && code < 24 + sizeof kRows - 1) {
        const char letter = kRows[code - 24];
        if (letter != '.')
            return static_cast<UINT>(letter - 'a' + 'A');
    }
    return 0;
}

/// Hands every key press for a dialog to its PreTranslateMessage first.
class KeyFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !object->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(object);
        QWidget* focus = QApplication::focusWidget();
        // A key event travels up to the parents the focused widget leaves it to;
        // only its first delivery counts.
        if (widget != focus && !(focus == nullptr && widget->isWindow()))
            return false;
        DialogWidget* dialog = dialog_of(widget);
        if (dialog == nullptr)
            return false;
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const Qt::KeyboardModifiers modifiers = key.modifiers();
        // The Menu key on a button, which has no context menu of its own, opens the
        // window's system menu (the edit controls keep theirs).
        if (key.key() == Qt::Key_Menu && modifiers == Qt::NoModifier &&
            qobject_cast<QAbstractButton*>(widget) != nullptr) {
            dialog->track_system_menu(widget->mapToGlobal(QPoint(0, widget->height())));
            return true;
        }
        const bool alt = modifiers.testFlag(Qt::AltModifier);
        const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
        MSG msg{handle_of(widget), alt && !ctrl ? WM_SYSKEYDOWN : WM_KEYDOWN, virtual_key(key), 0};
        KeyEventState& state = key_event();
        const KeyEventState outer = state;
        state = {true, modifiers};
        const BOOL handled = dialog->owner()->PreTranslateMessage(&msg);
        key_event() = outer;
        return handled != FALSE;
    }
};

}  // namespace

void install_key_filter() {
    static KeyFilter* filter = nullptr;
    if (filter == nullptr) {
        filter = new KeyFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

QIcon* icon_of(HICON icon) {
    return reinterpret_cast<QIcon*>(icon);
}

}  // namespace qt

namespace {

// With no session bus to be found, libdbus would start one for the X display
// (autolaunch), which writes ~/.dbus and outlives the window. A screen reader runs
// in a session that has a bus, named in the environment or at XDG_RUNTIME_DIR/bus;
// only where neither is there is the search turned off.
void KeepFromStartingASessionBus() {
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

}  // namespace

BOOL AfxWinInit(const char* program_path) {
    qt::Backend& backend = qt::backend();
    if (backend.application)
        return TRUE;
    backend.program = program_path != nullptr ? program_path : "program";
    backend.argv[0] = backend.program.data();
    KeepFromStartingASessionBus();
    // Only the program's path: the command line means nothing to the program.
    backend.application = std::make_unique<QApplication>(backend.argc, backend.argv);
    if (CWinApp* app = AfxGetApp()) {
        app->m_strAppName = AppNameFromPath(backend.program);
        // Wayland's app id and X11's class hint, by which the desktop finds the icon;
        // the display name stays unset, or Qt would append it to every title.
        if (!app->m_strAppID.empty())
            QGuiApplication::setDesktopFileName(qt::to_qstring(app->m_strAppID));
    }
    return TRUE;
}

int AfxWinMain(int argc, char** argv) {
    // The process holds a password and texts.
    hardening::protect_memory();

    CWinApp* app = AfxGetApp();
    if (app == nullptr || !AfxWinInit(argc > 0 ? argv[0] : nullptr))
        return 1;
    if (app->InitInstance())
        QApplication::exec();
    const int status = app->ExitInstance();
    AfxWinTerm();
    return status;
}

void AfxWinTerm() {
    qt::Backend& backend = qt::backend();
    backend.icons.clear();
    backend.application.reset();
}

HICON LoadIcon(int id) {
    qt::Backend& backend = qt::backend();
    std::unique_ptr<QIcon>& icon = backend.icons[id];
    if (!icon) {
        const IconGroup* group = AfxFindIconGroup(id);
        if (group == nullptr) {
            backend.icons.erase(id);
            return nullptr;
        }
        icon = std::make_unique<QIcon>();
        for (const IconImage& image :
             group->desktop_images.empty() ? group->images : group->desktop_images) {
            QPixmap pixmap;
            pixmap.loadFromData(image.png.data(), static_cast<uint>(image.png.size()), "PNG");
            icon->addPixmap(pixmap);
        }
    }
    return reinterpret_cast<HICON>(icon.get());
}

namespace {

/// A message box that lets its window show its last frame before it hides.
class MessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

    void setVisible(bool visible) override {
        if (!visible)
            qt::finish_last_frame(this);
        QMessageBox::setVisible(visible);
    }
};

}  // namespace

int AfxMessageBox(std::string_view text, UINT type) {
    CWnd* main = AfxGetMainWnd();
    QWidget* owner = main != nullptr ? qt::widget_of(main->GetSafeHwnd()) : nullptr;
    const UINT icon = type & 0xF0u;
    QMessageBox::Icon kind = QMessageBox::Warning;
    if (icon == 0x10u)
        kind = QMessageBox::Critical;
    else if (icon == 0x20u)
        kind = QMessageBox::Question;
    else if (icon == 0x40u)
        kind = QMessageBox::Information;
    // The icon says how grave the message is; a screen reader says only "image" for
    // it unless it is named.
    const QString icon_name = kind == QMessageBox::Critical      ? QStringLiteral("Error")
                              : kind == QMessageBox::Question    ? QStringLiteral("Question")
                              : kind == QMessageBox::Information ? QStringLiteral("Information")
                                                                 : QStringLiteral("Warning");
    // The focus comes back where it was, whatever the window manager activates.
    QPointer<QWidget> focus = QApplication::focusWidget();
    {
        // Gone before the focus returns. A compositor may report the box active after it
        // has closed, and Qt 6.4 then keeps the closed box, its native window gone, as
        // the window with the focus; activating another, as setting the focus does,
        // then crashes in its Wayland client. Destroyed, the box is no such window.
        MessageBox box(kind, qt::to_qstring(AfxGetAppName()), qt::to_qstring(text), QMessageBox::Ok,
                       owner);
        box.setTextFormat(Qt::PlainText);
        for (QLabel* label : box.findChildren<QLabel*>())
            if (!label->pixmap().isNull())
                label->setAccessibleName(icon_name);
        box.exec();
    }
    qt::return_focus(focus);
    return IDOK;
}

SHORT GetAsyncKeyState(int virtual_key) {
    const qt::KeyEventState& state = qt::key_event();
    const Qt::KeyboardModifiers modifiers =
        state.active ? state.modifiers : QGuiApplication::queryKeyboardModifiers();
    bool down = false;
    switch (virtual_key) {
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL:
            down = modifiers.testFlag(Qt::ControlModifier);
            break;
        case VK_SHIFT:
            down = modifiers.testFlag(Qt::ShiftModifier);
            break;
        case VK_MENU:
            down = modifiers.testFlag(Qt::AltModifier);
            break;
        default:
            break;
    }
    return down ? static_cast<SHORT>(-32768) : SHORT{0};
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXICON:
        case SM_CYICON:
            return QApplication::style() != nullptr
                       ? QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize)
                       : 32;
        default:
            return 0;
    }
}

}  // namespace tarnel::ui
