// SPDX-License-Identifier: MIT
// Dialog windows from templates, on Qt Widgets.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include "qt_backend.h"
#include "qt_password_events.h"
#include "tarnel/ui/app.h"
#include "tarnel/ui/layout.h"
#include "text_box/qt_text_box.h"

namespace tarnel::ui {

void DetachAll(const std::vector<HWND>& going);

namespace qt {
namespace {

constexpr char kIdProperty[] = "tarnel_control_id";

bool is_icon(const ControlTemplate& control) {
    return control.control_class == ControlClass::Static && (control.style & 0x1Fu) == SS_ICON;
}

/// The average character width as the Windows dialog manager computes it, from the
/// 52 Latin letters, and the character height.
BaseUnits font_base_units(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

}  // namespace

int label_text_height(const QString& text, const QFont& font, int width) {
    QLabel probe;
    probe.setFont(font);
    probe.setTextFormat(Qt::PlainText);
    probe.setWordWrap(true);
    probe.setMargin(0);
    probe.setText(text);
    const int wrapped = probe.heightForWidth(width);
    return wrapped > 0 ? wrapped : probe.sizeHint().height();
}

namespace {

QLabel* make_label(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(0, 0, 0, 0);
    label->setMargin(0);
    return label;
}

QWidget* make_control(const ControlTemplate& control, DialogWidget* dialog) {
    const QString text = to_qstring(control.text);
    QWidget* widget = nullptr;
    switch (control.control_class) {
        case ControlClass::Button: {
            auto* button = new QPushButton(text, dialog);
            button->setDefault((control.style & BS_DEFPUSHBUTTON) != 0);
            const int id = control.id;
            QObject::connect(button, &QPushButton::clicked, dialog,
                             [dialog, id] { dialog->owner()->OnCommand(id); });
            widget = button;
            break;
        }
        case ControlClass::Edit:
            if (control.style & ES_MULTILINE) {
                auto* edit = new TextBox(dialog);
                edit->setTabChangesFocus(true);
                edit->setLineWrapMode((control.style & ES_AUTOHSCROLL)
                                          ? QPlainTextEdit::NoWrap
                                          : QPlainTextEdit::WidgetWidth);
                edit->setVerticalScrollBarPolicy(
                    (control.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                if ((control.style & WS_BORDER) == 0)
                    edit->setFrameShape(QFrame::NoFrame);
                widget = edit;
            } else {
                auto* edit = new QLineEdit(dialog);
                if (control.style & ES_PASSWORD) {
                    edit->setEchoMode(QLineEdit::Password);
                    MaskPasswordTextEvents();
                }
                edit->setFrame((control.style & WS_BORDER) != 0);
                widget = edit;
            }
            break;
        case ControlClass::Static:
            if (is_icon(control)) {
                auto* label = new QLabel(dialog);
                HICON icon = LoadIcon(control.icon);
                const int size = GetSystemMetrics(SM_CXICON);
                if (icon != nullptr)
                    label->setPixmap(icon_of(icon)->pixmap(size, size));
                // A picture says nothing to a screen reader unless it is named.
                label->setAccessibleName(to_qstring(AfxGetAppName()) + QStringLiteral(" icon"));
                widget = label;
            } else {
                widget = make_label(text, dialog);
            }
            break;
    }
    widget->setFocusPolicy((control.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::NoFocus);
    widget->setProperty(kIdProperty, control.id);
    return widget;
}

}  // namespace

DialogWidget::DialogWidget(CDialog* owner, const DialogTemplate& dialog, QWidget* parent)
    : QDialog(parent), m_owner(owner), m_template(dialog) {
    Qt::WindowFlags flags = (dialog.ex_style & WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialog.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    setWindowTitle(to_qstring(dialog.title));
    setSizeGripEnabled(false);

    for (const ControlTemplate& control : dialog.controls)
        m_controls.push_back(make_control(control, this));

    const MeasureText measure = [this](std::string_view text, int width) {
        return label_text_height(to_qstring(text), font(), width);
    };
    m_units = font_base_units(font());
    const DialogLayout layout = LayoutDialog(dialog, m_units, measure, GetSystemMetrics(SM_CXICON));
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        const PixelRect& rect = layout.controls[i];
        m_controls[i]->setGeometry(rect.x, rect.y, rect.width, rect.height);
    }
    setFixedSize(layout.width, layout.height);

    QWidget* previous = nullptr;
    for (QWidget* control : m_controls) {
        if (control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous != nullptr)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

QWidget* DialogWidget::item(int id) const {
    for (QWidget* control : m_controls)
        if (control->property(kIdProperty).toInt() == id)
            return control;
    return nullptr;
}

void DialogWidget::reject() {
    // Esc and the close box: the dialog's own OnCancel decides.
    m_owner->OnCancel();
}

void DialogWidget::end(int result) {
    QDialog::done(result);
}

void DialogWidget::setVisible(bool visible) {
    if (!visible)
        finish_last_frame(this);
    QDialog::setVisible(visible);
}

void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key on a button is the key filter's; only the mouse comes here.
    if (event->reason() == QContextMenuEvent::Keyboard || m_owner->GetSystemMenu(FALSE) == nullptr)
        return;
    track_system_menu(event->globalPos());
}

void DialogWidget::paintEvent(QPaintEvent*) {
    QWidget*& painting = painting_widget();
    QWidget* outer = painting;
    painting = this;
    m_owner->OnPaint();
    painting = outer;
}

void DialogWidget::track_system_menu(QPoint global_position) {
    CMenu* system_menu = m_owner->GetSystemMenu(FALSE);
    if (system_menu == nullptr)
        return;
    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("System"));
    finish_frames_before_closing(menu);
    for (int i = 0; i < system_menu->GetMenuItemCount(); ++i) {
        if (system_menu->IsSeparator(i)) {
            menu.addSeparator();
            continue;
        }
        // "&Close\tAlt+F4": the shortcut is shown beside the item, and a screen reader
        // reads the name alone ("Close") and the shortcut as the item's accelerator.
        const QString item = to_qstring(system_menu->GetMenuString(i));
        const qsizetype tab = item.indexOf(u'\t');
        QAction* action = menu.addAction(item.left(tab));
        if (tab >= 0) {
            action->setShortcut(QKeySequence(item.mid(tab + 1), QKeySequence::PortableText));
            // Shown, not a key of its own: the key is the window system's.
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        action->setData(system_menu->GetMenuItemID(i));
    }
    QAction* chosen = menu.exec(global_position);
    if (chosen != nullptr)
        m_owner->OnSysCommand(chosen->data().toUInt(), 0);
}

DialogWidget* dialog_of(QWidget* widget) {
    return widget != nullptr ? dynamic_cast<DialogWidget*>(widget->window()) : nullptr;
}

QWidget*& painting_widget() {
    static QWidget* widget = nullptr;
    return widget;
}

}  // namespace qt

CDialog::CDialog(int template_id, CWnd* parent) : m_template_id(template_id), m_parent(parent) {}

CDialog::~CDialog() {
    DestroyWindow();
}

BOOL CDialog::CreateWindowFromTemplate(CWnd* parent, bool modal) {
    const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id);
    if (dialog == nullptr || !AfxWinInit(nullptr) || m_window != nullptr)
        return FALSE;
    qt::install_key_filter();
    CWnd* owner = parent != nullptr ? parent : AfxGetMainWnd();
    if (owner == this)
        owner = nullptr;
    QWidget* owner_widget = owner != nullptr ? qt::widget_of(owner->GetSafeHwnd()) : nullptr;
    m_window = std::make_unique<Window>();
    m_window->modal = modal;
    m_window->widget = new qt::DialogWidget(this, *dialog, owner_widget);
    m_result = 0;
    m_system_menu.m_items.clear();
    Attach(qt::handle_of(m_window->widget));

    // Centred over the owner, or on the screen when there is none.
    QWidget* widget = m_window->widget;
    QRect area = owner_widget != nullptr ? owner_widget->geometry()
                                         : QGuiApplication::primaryScreen()->availableGeometry();
    // Client area over client area: the frame is not known before the window shows.
    widget->setGeometry(area.x() + (area.width() - widget->width()) / 2,
                        area.y() + (area.height() - widget->height()) / 2, widget->width(),
                        widget->height());
    InitialiseWindow();
    return TRUE;
}

void CDialog::InitialiseWindow() {
    const BOOL default_focus = OnInitDialog();
    if (m_window == nullptr)
        return;
    if (default_focus) {
        for (QWidget* control : m_window->widget->controls()) {
            if (control->focusPolicy() != Qt::NoFocus && control->isEnabled()) {
                control->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

int CDialog::DoModal() {
    if (!CreateWindowFromTemplate(m_parent, true))
        return -1;
    QPointer<QWidget> focus = QApplication::focusWidget();
    m_window->widget->exec();
    const int result = m_result;
    DestroyWindow();
    qt::return_focus(focus);
    return result;
}

BOOL CDialog::Create(CWnd* parent) {
    if (!CreateWindowFromTemplate(parent != nullptr ? parent : m_parent, false))
        return FALSE;
    m_window->widget->show();
    return TRUE;
}

void CDialog::EndDialog(int result) {
    m_result = result;
    if (m_window != nullptr && m_window->widget != nullptr)
        m_window->widget->end(result);
}

void CDialog::ShowSystemMenu() {
    if (m_window != nullptr)
        m_window->widget->track_system_menu(m_window->widget->mapToGlobal(QPoint(0, 0)));
}

void CDialog::DestroyWindow() {
    if (m_window == nullptr)
        return;
    ForgetWindow();
}

// The layer draws the system menu itself, so it holds the platform's one item.
CMenu* CDialog::GetSystemMenu(BOOL revert) const {
    const DialogTemplate* dialog = AfxFindDialogTemplate(m_template_id);
    if (m_window == nullptr || dialog == nullptr || (dialog->style & WS_SYSMENU) == 0)
        return nullptr;
    if (revert || m_system_menu.GetMenuItemCount() == 0) {
        m_system_menu.m_items.clear();
        m_system_menu.AppendMenu(MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
    }
    return revert ? nullptr : &m_system_menu;
}

void CDialog::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0u) == SC_CLOSE)
        OnCancel();
}

// Qt paints the dialog itself.
void CDialog::OnPaint() {}

void CDialog::ForgetWindow() {
    std::vector<HWND> going{qt::handle_of(m_window->widget)};
    for (QWidget* control : m_window->widget->controls())
        going.push_back(qt::handle_of(control));
    DetachAll(going);
    qt::finish_last_frame(m_window->widget);
    delete m_window->widget;
    m_window.reset();
    m_system_menu.m_items.clear();
}

}  // namespace tarnel::ui
