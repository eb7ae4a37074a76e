// SPDX-License-Identifier: MIT
// The test driver on Qt: QTest events, on the offscreen platform, X11 or Wayland.
#include <qpa/qwindowsysteminterface.h>
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/QTest>

#include "qt_backend.h"
#include "tarnel/ui/app.h"
#include "tarnel/ui/test_driver.h"
#include "text_box/qt_text_box.h"
#include "text_box/qt_text_document.h"

namespace tarnel::ui::test {

void install_accessibility_ear();  // qt_test_driver_events.cpp

namespace {

constexpr int kPollMs = 10;
constexpr int kGiveUpMs = 5000;

Qt::Key qt_key(Key key) {
    switch (key) {
        case Key::Enter:
            return Qt::Key_Return;
        case Key::Escape:
            return Qt::Key_Escape;
        case Key::Tab:
            return Qt::Key_Tab;
        case Key::BackTab:
            return Qt::Key_Backtab;
        case Key::Space:
            return Qt::Key_Space;
        case Key::A:
            return Qt::Key_A;
        case Key::C:
            return Qt::Key_C;
        case Key::V:
            return Qt::Key_V;
        case Key::X:
            return Qt::Key_X;
        case Key::Z:
            return Qt::Key_Z;
        case Key::Left:
            return Qt::Key_Left;
        case Key::Right:
            return Qt::Key_Right;
        case Key::Up:
            return Qt::Key_Up;
        case Key::Down:
            return Qt::Key_Down;
        case Key::Home:
            return Qt::Key_Home;
        case Key::End:
            return Qt::Key_End;
        case Key::PageUp:
            return Qt::Key_PageUp;
        case Key::PageDown:
            return Qt::Key_PageDown;
        case Key::Backspace:
            return Qt::Key_Backspace;
        case Key::Delete:
            return Qt::Key_Delete;
        case Key::F1:
            return Qt::Key_F1;
        case Key::F4:
            return Qt::Key_F4;
        case Key::Menu:
            return Qt::Key_Menu;
        case Key::CyrillicEfOnA:
        case Key::CyrillicYaOnZ:
            break;
    }
    return Qt::Key_unknown;
}

Qt::KeyboardModifiers qt_modifiers(unsigned modifiers) {
    Qt::KeyboardModifiers result;
    if (modifiers & kCtrl)
        result |= Qt::ControlModifier;
    if (modifiers & kShift)
        result |= Qt::ShiftModifier;
    if (modifiers & kAlt)
        result |= Qt::AltModifier;
    return result;
}

QWidget* key_target() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QWidget* control(CDialog& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    return item != nullptr ? qt::widget_of(item->GetSafeHwnd()) : nullptr;
}

/// Closes any modal window or popup left open, so that a test cannot hang on it.
void close_everything_modal() {
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    if (auto* modal = dynamic_cast<QDialog*>(QApplication::activeModalWidget()))
        modal->reject();
}

/// The parent of every armed watch's timer.
QObject& watches() {
    static QObject* parent = new QObject(qApp);
    return *parent;
}

/// Calls `step` every few milliseconds until it returns true or time runs out.
void poll(std::function<bool()> step, std::function<void()> give_up) {
    auto* timer = new QTimer(&watches());
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, step, give_up] {
        // Stopped first: a step may open a nested event loop (a menu's action).
        timer->stop();
        bool done = step();
        if (!done && clock.elapsed() > kGiveUpMs) {
            give_up();
            done = true;
        }
        if (done)
            timer->deleteLater();
        else
            timer->start(kPollMs);
    });
    timer->start(kPollMs);
}

std::string accessible_name(QObject* object) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    return accessible != nullptr ? accessible->text(QAccessible::Name).toStdString()
                                 : std::string();
}

void record(QWidget* modal, ModalWindow& seen) {
    seen.found = true;
    seen.caption = modal->windowTitle().toStdString();
    if (auto* box = dynamic_cast<QMessageBox*>(modal)) {
        seen.texts.push_back(box->text().toStdString());
        seen.warning_icon = box->icon() == QMessageBox::Warning;
        for (QLabel* label : box->findChildren<QLabel*>())
            if (!label->pixmap().isNull())
                seen.image_names.push_back(accessible_name(label));
        for (QAbstractButton* button : box->buttons())
            seen.buttons.push_back(button->text().toStdString());
    } else {
        for (QObject* child : modal->children()) {
            auto* label = dynamic_cast<QLabel*>(child);
            if (label && label->pixmap().isNull())
                seen.texts.push_back(label->text().toStdString());
            else if (label)
                seen.image_names.push_back(accessible_name(label));
            else if (auto* button = dynamic_cast<QAbstractButton*>(child))
                seen.buttons.push_back(button->text().toStdString());
        }
    }
    CWnd* main = AfxGetMainWnd();
    QWidget* owner = main != nullptr ? qt::widget_of(main->GetSafeHwnd()) : nullptr;
    // The window system learns of the owner through the native window's transient
    // parent, which is all that a Wayland compositor is told of the relation.
    const QWindow* native = modal->windowHandle();
    seen.owned_by_main_window = owner != nullptr && modal->parentWidget() == owner &&
                                native != nullptr &&
                                native->transientParent() == owner->windowHandle();
    seen.placement_known = QGuiApplication::platformName() != QLatin1String("wayland");
    if (owner != nullptr) {
        const QPoint difference = modal->geometry().center() - owner->geometry().center();
        seen.centred_over_owner = difference.manhattanLength() <= 2;
        seen.owner_takes_input = main->IsWindowEnabled() != FALSE;
    }
}

/// What a compositor's late notice leaves: the closed window's native window gone
/// (Qt's Wayland client lets it go as the window hides), and the window reported
/// active all the same.
void report_active_late(QWidget* closed) {
    QWindow* window = closed->windowHandle();
    if (window == nullptr)
        return;
    window->destroy();
    QWindowSystemInterface::handleWindowActivated(window, Qt::ActiveWindowFocusReason);
    QWindowSystemInterface::flushWindowSystemEvents();
}

/// The window that takes the next input: the modal window in front, or the main window.
QWidget* front_window() {
    QWidget* window = QApplication::activeModalWidget();
    if (window == nullptr) {
        CWnd* main = AfxGetMainWnd();
        window = main != nullptr ? qt::widget_of(main->GetSafeHwnd()) : nullptr;
    }
    return window != nullptr && window->isVisible() ? window : nullptr;
}

/// A compositor answers in its own time: when a window closes, its notice that the
/// one below is active again comes later, and closes a menu opened before it. A
/// person's next action comes after the compositor's answers, and so does the driver's:
/// a round trip to the window system, and the events it brought.
void await_window_system() {
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        return;
    // Twice: the compositor may send what a request changed only once it is idle.
    for (int round = 0; round < 2; ++round) {
        QGuiApplication::sync();
        QCoreApplication::processEvents();
    }
}

/// After each input: the window system's answers, and on the offscreen platform, which
/// has no window manager to activate the main window again when a modal window over it
/// closes, what one would do.
void settle() {
    await_window_system();
    if (QApplication::activeWindow() != nullptr || QApplication::activePopupWidget() != nullptr)
        return;
    if (QWidget* window = front_window())
        QApplication::setActiveWindow(window);
}

}  // namespace

Driver::Driver(const char* program_path) {
    // Before the window installs its own handlers, so that the ear hears their output.
    install_accessibility_ear();
    AfxWinInit(program_path);
}

Driver::~Driver() {
    CancelWatches();
    AfxWinTerm();
}

void Driver::Open(CDialog& dialog) {
    if (CWinApp* app = AfxGetApp())
        app->m_pMainWnd = &dialog;
    dialog.Create();
    QWidget* window = qt::widget_of(dialog.GetSafeHwnd());
    if (window != nullptr) {
        window->activateWindow();
        QApplication::setActiveWindow(window);
        (void)QTest::qWaitForWindowExposed(window);
    }
}

bool Driver::IsOpen(const CDialog& dialog) const {
    QWidget* window = qt::widget_of(dialog.GetSafeHwnd());
    return window != nullptr && window->isVisible();
}

void Driver::Close(CDialog& dialog) {
    if (QWidget* window = qt::widget_of(dialog.GetSafeHwnd()))
        window->close();
    QApplication::processEvents();
}

void Driver::Press(Key key, unsigned modifiers) {
    if (key == Key::CyrillicEfOnA || key == Key::CyrillicYaOnZ) {
        // As X11 delivers them: the layout's key and text, the key's XKB code.
        const bool on_a = key == Key::CyrillicEfOnA;
        const int code = on_a ? 0x0424 : 0x042F;  // Qt names a letter key by its capital
        const quint32 scan_code = on_a ? 38 : 52;
        const QString text =
            (modifiers & kCtrl) ? QString() : QString(QChar(on_a ? 0x0444 : 0x044F));
        QKeyEvent press(QEvent::KeyPress, code, qt_modifiers(modifiers), scan_code, 0, 0, text);
        QKeyEvent release(QEvent::KeyRelease, code, qt_modifiers(modifiers), scan_code, 0, 0, text);
        QApplication::sendEvent(key_target(), &press);
        QApplication::sendEvent(key_target(), &release);
        settle();
        return;
    }
    QTest::keyClick(key_target(), qt_key(key), qt_modifiers(modifiers));
    settle();
}

void Driver::Type(const std::string& text) {
    const QString characters = QString::fromStdString(text);
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const QChar ch = characters[i];
        if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F) {
            QTest::keyClick(key_target(), ch.toLatin1());
            continue;
        }
        // QTest knows only ASCII keys; other characters come as a keyboard layout
        // or an input method delivers them: text on a key of no code.
        const qsizetype length = ch.isHighSurrogate() && i + 1 < characters.size() ? 2 : 1;
        const QString typed = characters.mid(i, length);
        i += length - 1;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, typed);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, typed);
        QApplication::sendEvent(key_target(), &press);
        QApplication::sendEvent(key_target(), &release);
    }
    settle();
}

void Driver::Compose(const std::string& text) {
    QInputMethodEvent event(QString::fromStdString(text), {});
    QApplication::sendEvent(key_target(), &event);
}

void Driver::Commit(const std::string& text) {
    QInputMethodEvent event;
    event.setCommitString(QString::fromStdString(text));
    QApplication::sendEvent(key_target(), &event);
}

void Driver::Click(CDialog& dialog, int id) {
    if (QWidget* widget = control(dialog, id))
        QTest::mouseClick(widget, Qt::LeftButton);
    settle();
}

void Driver::RightClickBackground(CDialog& dialog) {
    QWidget* window = qt::widget_of(dialog.GetSafeHwnd());
    if (window == nullptr)
        return;
    // A point that no control covers.
    QPoint point(1, 1);
    for (int y = 1; y < window->height(); y += 3) {
        bool covered = false;
        for (int x = 1; x < window->width() && !covered; x += 3)
            covered = window->childAt(x, y) != nullptr;
        if (!covered) {
            point = QPoint(1, y);
            break;
        }
    }
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, window->mapToGlobal(point));
    QApplication::sendEvent(window, &event);
    settle();
}

void Driver::RightClick(CDialog& dialog, int id) {
    QWidget* widget = control(dialog, id);
    if (widget == nullptr)
        return;
    // A scroll area takes the mouse on its viewport.
    if (auto* area = dynamic_cast<QAbstractScrollArea*>(widget))
        widget = area->viewport();
    const QPoint middle = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, middle, widget->mapToGlobal(middle));
    QApplication::sendEvent(widget, &event);
    settle();
}

namespace {

qt::TextBox* text_box(CDialog& dialog, int id) {
    return dynamic_cast<qt::TextBox*>(control(dialog, id));
}

/// The point of the viewport just before character `position` of `box`, in the
/// middle of its line.
QPoint character_point(qt::TextBox& box, int position) {
    QTextCursor cursor(box.document());
    cursor.setPosition(qt::DocumentPosition(*box.document(), position));
    const QRect rect = box.cursorRect(cursor);
    return QPoint(rect.left(), rect.center().y());
}

/// Scrolls character `position` of `box` into view, the caret there or, with
/// `extend`, the selection stretched to it.
void show_character(qt::TextBox& box, int position, bool extend) {
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(qt::DocumentPosition(*box.document(), position),
                       extend ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    box.setTextCursor(cursor);
    box.ensureCursorVisible();
}

void send_mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
                Qt::KeyboardModifiers modifiers) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

}  // namespace

void Driver::ClickCharacter(CDialog& dialog, int id, int position, unsigned modifiers) {
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return;
    show_character(*box, position, (modifiers & kShift) != 0);
    const QPoint at = character_point(*box, position);
    send_mouse(box->viewport(), QEvent::MouseButtonPress, at, Qt::LeftButton,
               qt_modifiers(modifiers));
    send_mouse(box->viewport(), QEvent::MouseButtonRelease, at, Qt::NoButton,
               qt_modifiers(modifiers));
    settle();
}

void Driver::DragOverCharacters(CDialog& dialog, int id, int from, int to) {
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return;
    show_character(*box, from, false);  // and no selection that the press would drag
    const QPoint start = character_point(*box, from);
    const QPoint end = character_point(*box, to);
    QWidget* viewport = box->viewport();
    send_mouse(viewport, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::NoModifier);
    send_mouse(viewport, QEvent::MouseMove, (start + end) / 2, Qt::LeftButton, Qt::NoModifier);
    send_mouse(viewport, QEvent::MouseMove, end, Qt::LeftButton, Qt::NoModifier);
    send_mouse(viewport, QEvent::MouseButtonRelease, end, Qt::NoButton, Qt::NoModifier);
    settle();
}

void Driver::Selection(CDialog& dialog, int id, int& start, int& end) const {
    start = end = 0;
    QWidget* widget = control(dialog, id);
    if (auto* box = dynamic_cast<qt::TextBox*>(widget)) {
        box->Selection(start, end);
    } else if (auto* line = dynamic_cast<QLineEdit*>(widget)) {
        start = end = line->cursorPosition();
        if (line->hasSelectedText()) {
            start = line->selectionStart();
            end = line->selectionEnd();
        }
    }
}

int Driver::FirstVisibleLine(CDialog& dialog, int id) const {
    auto* edit = dynamic_cast<QPlainTextEdit*>(control(dialog, id));
    return edit != nullptr ? edit->verticalScrollBar()->value() : 0;
}

void Driver::Wheel(CDialog& dialog, int id, int notches) {
    auto* edit = dynamic_cast<QAbstractScrollArea*>(control(dialog, id));
    if (edit == nullptr)
        return;
    QWidget* viewport = edit->viewport();
    const QPointF inside(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent event(inside, viewport->mapToGlobal(inside), QPoint(),
                      QPoint(0, -notches * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

void Driver::DragScrollBar(CDialog& dialog, int id, double fraction) {
    auto* edit = dynamic_cast<QAbstractScrollArea*>(control(dialog, id));
    if (edit == nullptr)
        return;
    QScrollBar* bar = edit->verticalScrollBar();
    const double span = bar->maximum() - bar->minimum();
    bar->setSliderDown(true);
    bar->setSliderPosition(bar->minimum() + static_cast<int>(span * fraction + 0.5));
    bar->setSliderDown(false);
}

void Driver::Paint(CDialog& dialog) {
    QApplication::processEvents();
    if (QWidget* window = qt::widget_of(dialog.GetSafeHwnd()))
        window->repaint();
}

void Driver::SetClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(qt::to_qstring(text));
}

namespace {

/// The clipboard's text in UTF-8 as it came, or as QClipboard reads it, which
/// drops a byte-order mark at its start.
std::string clipboard_text(QClipboard::Mode mode) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
    const QString utf8_type = QStringLiteral("text/plain;charset=utf-8");
    if (data != nullptr && data->hasFormat(utf8_type))
        return data->data(utf8_type).toStdString();
    return QGuiApplication::clipboard()->text(mode).toStdString();
}

}  // namespace

std::string Driver::Clipboard() const {
    return clipboard_text(QClipboard::Clipboard);
}

std::string Driver::WindowSystem() const {
    return QGuiApplication::platformName().toStdString();
}

bool Driver::HasPrimarySelection() const {
    return QGuiApplication::clipboard()->supportsSelection();
}

std::string Driver::PrimarySelection() const {
    return clipboard_text(QClipboard::Selection);
}

namespace {

/// The text of line `line` of `text`, without the line separator that ends some.
std::string line_text(const QString& text, const QTextLine& line) {
    QString part = text.mid(line.textStart(), line.textLength());
    if (part.endsWith(QChar::LineSeparator))
        part.chop(1);
    return part.toStdString();
}

}  // namespace

std::vector<std::string> Driver::WrappedLines(CDialog& dialog, int id) const {
    std::vector<std::string> lines;
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return lines;
    QAbstractTextDocumentLayout* layout = box->document()->documentLayout();
    for (QTextBlock block = box->document()->firstBlock(); block.isValid(); block = block.next()) {
        (void)layout->blockBoundingRect(block);  // lays the block out
        const QString text = block.text();
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            lines.push_back(line_text(text, block.layout()->lineAt(i)));
    }
    return lines;
}

std::vector<std::string> Driver::LinesInView(CDialog& dialog, int id) const {
    std::vector<std::string> lines;
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return lines;
    const int height = box->viewport()->height();
    for (QTextBlock block = box->FirstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF area = box->BlockArea(block);
        if (area.top() >= height)
            break;
        const QString text = block.text();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            const qreal top = area.top() + line.y();
            // Lines at least half in view count.
            if (top + line.height() / 2 >= 0 && top + line.height() / 2 < height)
                lines.push_back(line_text(text, line));
        }
    }
    return lines;
}

std::vector<std::string> Driver::WrapAsOneParagraph(CDialog& dialog, int id,
                                                    const std::string& text) const {
    std::vector<std::string> lines;
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return lines;
    const QTextDocument& document = *box->document();
    const QString characters = QString::fromStdString(text);
    QTextLayout layout(characters, document.defaultFont(), box->viewport());
    layout.setTextOption(document.defaultTextOption());
    const qreal width = box->viewport()->width() - 2 * document.documentMargin();
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(width);
    layout.endLayout();
    for (int i = 0; i < layout.lineCount(); ++i)
        lines.push_back(line_text(characters, layout.lineAt(i)));
    return lines;
}

namespace {

QAccessibleTextInterface* accessible_text(CDialog& dialog, int id) {
    QWidget* widget = control(dialog, id);
    QAccessibleInterface* accessible =
        widget != nullptr ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    return accessible != nullptr ? accessible->textInterface() : nullptr;
}

}  // namespace

std::string Driver::AccessibleText(CDialog& dialog, int id) const {
    QAccessibleTextInterface* text = accessible_text(dialog, id);
    return text != nullptr ? text->text(0, text->characterCount()).toStdString() : std::string();
}

int Driver::AccessibleCaret(CDialog& dialog, int id) const {
    QAccessibleTextInterface* text = accessible_text(dialog, id);
    return text != nullptr ? text->cursorPosition() : -1;
}

std::vector<int> Driver::RegionStarts(CDialog& dialog, int id) const {
    std::vector<int> starts;
    qt::TextBox* box = text_box(dialog, id);
    if (box == nullptr)
        return starts;
    for (QTextBlock block = box->document()->firstBlock(); block.isValid(); block = block.next())
        if (qt::ContinuesLine(block))
            starts.push_back(qt::UserPosition(*box->document(), block.position()));
    return starts;
}

void Driver::WhenModalOpens(const std::string& caption, ModalWindow& seen, CloseBy by,
                            std::function<void()> while_open) {
    const QString wanted = QString::fromStdString(caption);
    poll(
        [wanted, &seen, by, while_open] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || modal->windowTitle() != wanted)
                return false;
            record(modal, seen);
            if (while_open)
                while_open();
            // The keys go to the modal window itself: the window system may not have
            // activated it yet, and a key for the window below would press its
            // default button again.
            QApplication::setActiveWindow(modal);
            QWidget* target = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
            switch (by) {
                case CloseBy::Enter:
                    QTest::keyClick(target, Qt::Key_Return);
                    break;
                case CloseBy::Escape:
                    QTest::keyClick(target, Qt::Key_Escape);
                    break;
                case CloseBy::CloseBox:
                    modal->close();
                    break;
                case CloseBy::EnterActivatedLate:
                    QTest::keyClick(target, Qt::Key_Return);
                    report_active_late(modal);
                    break;
            }
            return true;
        },
        close_everything_modal);
}

void Driver::WhenPopupOpens(PopupMenu& seen, const std::string& choose) {
    const QString wanted = QString::fromStdString(choose);
    poll(
        [wanted, &seen] {
            auto* menu = dynamic_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible())
                return false;
            seen.found = true;
            QAction* target = nullptr;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(menu);
            int index = 0;
            for (QAction* action : menu->actions()) {
                // The menu's own string: its text, then its shortcut after a tab.
                QString text = action->text();
                if (!action->shortcut().isEmpty())
                    text += u'\t' + action->shortcut().toString(QKeySequence::PortableText);
                seen.items.push_back(action->isSeparator() ? std::string() : text.toStdString());
                seen.enabled.push_back(action->isEnabled());
                QAccessibleInterface* item =
                    accessible != nullptr ? accessible->child(index++) : nullptr;
                seen.accessible_names.push_back(
                    item != nullptr ? item->text(QAccessible::Name).toStdString() : std::string());
                if (!action->isSeparator() && text == wanted)
                    target = action;
            }
            if (target != nullptr) {
                menu->setActiveAction(target);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                QTest::keyClick(menu, Qt::Key_Escape);
            }
            return true;
        },
        close_everything_modal);
}

std::vector<ControlGeometry> Driver::Controls(CDialog& dialog) const {
    std::vector<ControlGeometry> result;
    auto* window = dynamic_cast<qt::DialogWidget*>(qt::widget_of(dialog.GetSafeHwnd()));
    if (window == nullptr)
        return result;
    const auto& controls = window->controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* control = controls[i];
        ControlGeometry geometry{control->x(),      control->y(), control->width(),
                                 control->height(), false,        0};
        if (auto* label = dynamic_cast<QLabel*>(control)) {
            geometry.is_icon = !label->pixmap().isNull() || label->text().isEmpty();
            if (!geometry.is_icon)
                geometry.text_height =
                    qt::label_text_height(label->text(), label->font(), label->width());
        }
        result.push_back(geometry);
    }
    return result;
}

BaseUnits Driver::Units(CDialog& dialog) const {
    auto* window = dynamic_cast<qt::DialogWidget*>(qt::widget_of(dialog.GetSafeHwnd()));
    return window != nullptr ? window->base_units() : BaseUnits{};
}

void Driver::CancelWatches() {
    const QObjectList timers = watches().children();
    for (QObject* timer : timers)
        delete timer;
}

void Driver::ProcessEvents() {
    QApplication::processEvents();
}

}  // namespace tarnel::ui::test
