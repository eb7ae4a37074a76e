// SPDX-License-Identifier: MIT
// Windows, edit controls and painting on Qt Widgets.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "qt_backend.h"
#include "tarnel/ui/allocation_point.h"
#include "tarnel/ui/app.h"
#include "text_box/qt_text_box.h"

namespace tarnel::ui {
namespace {

QWidget* widget(HWND hwnd) {
    return qt::widget_of(hwnd);
}

/// Whether the UTF-8 `text` makes at most `most` UTF-16 units: a check that spares
/// Qt a copy of a text the box would refuse anyway.
bool within_units(std::string_view text, qsizetype most) {
    // A UTF-8 text never has more units than bytes.
    if (static_cast<qsizetype>(text.size()) <= most)
        return true;
    qsizetype units = 0;
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        units += (code & 0xC0) == 0x80 ? 0 : code >= 0xF0 ? 2 : 1;
    }
    return units <= most;
}

}  // namespace

void CWnd::GetWindowText(CString& text) const {
    text.clear();
    QWidget* w = widget(m_hWnd);
    if (w == nullptr)
        return;
    if (auto* box = dynamic_cast<qt::TextBox*>(w)) {
        text = box->Text();
    } else if (auto* line = dynamic_cast<QLineEdit*>(w)) {
        AllocationPoint();
        text = line->text().toStdString();
    } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
        text = button->text().toStdString();
    } else if (auto* label = dynamic_cast<QLabel*>(w)) {
        text = label->text().toStdString();
    } else if (w->isWindow()) {
        text = w->windowTitle().toStdString();
    }
}

void CWnd::SetWindowText(std::string_view text) {
    QWidget* w = widget(m_hWnd);
    if (w == nullptr)
        return;
    if (auto* box = dynamic_cast<qt::TextBox*>(w)) {
        if (within_units(text, qt::TextBox::kMostCharacters))
            box->SetText(qt::to_qstring(text));
    } else if (auto* line = dynamic_cast<QLineEdit*>(w)) {
        line->setText(qt::to_qstring(text));
    } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
        button->setText(qt::to_qstring(text));
    } else if (auto* label = dynamic_cast<QLabel*>(w)) {
        label->setText(qt::to_qstring(text));
    } else if (w->isWindow()) {
        w->setWindowTitle(qt::to_qstring(text));
    }
}

CWnd* CWnd::GetDlgItem(int id) const {
    auto* dialog = dynamic_cast<qt::DialogWidget*>(widget(m_hWnd));
    if (dialog == nullptr)
        return nullptr;
    return FromHandle(qt::handle_of(dialog->item(id)));
}

int CWnd::GetDlgCtrlID() const {
    QWidget* w = widget(m_hWnd);
    qt::DialogWidget* dialog = qt::dialog_of(w);
    if (dialog == nullptr || dialog == w)
        return 0;
    const auto& controls = dialog->controls();
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i] == w)
            return dialog->dialog_template().controls[i].id;
    return 0;
}

CWnd* CWnd::GetFocus() {
    return FromHandle(qt::handle_of(QApplication::focusWidget()));
}

CWnd* CWnd::SetFocus() {
    CWnd* previous = GetFocus();
    if (QWidget* w = widget(m_hWnd))
        w->setFocus(Qt::OtherFocusReason);
    return previous;
}

BOOL CWnd::IsWindowEnabled() const {
    QWidget* w = widget(m_hWnd);
    if (w == nullptr || !w->isEnabled())
        return FALSE;
    // A window that a modal window blocks takes no input, as a disabled one.
    QWidget* modal = QApplication::activeModalWidget();
    return modal == nullptr || modal == w->window() ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
    QWidget* w = widget(m_hWnd);
    return w != nullptr && w->window()->isMinimized() ? TRUE : FALSE;
}

void CWnd::GetClientRect(CRect* rect) const {
    QWidget* w = widget(m_hWnd);
    *rect = w != nullptr ? CRect{0, 0, w->width(), w->height()} : CRect{};
}

void CWnd::GetWindowRect(CRect* rect) const {
    QWidget* w = widget(m_hWnd);
    if (w == nullptr) {
        *rect = CRect{};
        return;
    }
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    *rect = CRect{origin.x(), origin.y(), origin.x() + w->width(), origin.y() + w->height()};
}

HICON CWnd::SetIcon(HICON icon, BOOL) {
    QWidget* w = widget(m_hWnd);
    if (w == nullptr)
        return nullptr;
    // Qt keeps one icon for a window, of which the desktop picks the sizes it shows.
    w->setWindowIcon(icon != nullptr ? *qt::icon_of(icon) : QIcon());
    return icon;
}

CMenu* CWnd::GetSystemMenu(BOOL revert) const {
    qt::DialogWidget* dialog = qt::dialog_of(widget(m_hWnd));
    return dialog != nullptr ? dialog->owner()->GetSystemMenu(revert) : nullptr;
}

void CWnd::SetAccessibleName(std::string_view name) {
    if (QWidget* w = widget(m_hWnd))
        w->setAccessibleName(qt::to_qstring(name));
}

void CEdit::SetSel(int start, int end) {
    QWidget* w = widget(m_hWnd);
    if (auto* box = dynamic_cast<qt::TextBox*>(w)) {
        box->Select(start, end);
    } else if (auto* line = dynamic_cast<QLineEdit*>(w)) {
        const int last = static_cast<int>(line->text().size());
        if (start < 0) {
            line->deselect();
        } else {
            const int from = std::min(start, last);
            const int to = end < 0 ? last : std::min(end, last);
            line->setSelection(from, to - from);
        }
    }
}

void CEdit::GetSel(int& start, int& end) const {
    start = end = 0;
    QWidget* w = widget(m_hWnd);
    if (auto* box = dynamic_cast<qt::TextBox*>(w)) {
        box->Selection(start, end);
    } else if (auto* line = dynamic_cast<QLineEdit*>(w)) {
        if (line->hasSelectedText()) {
            start = line->selectionStart();
            end = line->selectionEnd();
        } else {
            start = end = line->cursorPosition();
        }
    }
}

BOOL CEdit::ReplaceSel(std::string_view text, BOOL can_undo) {
    QWidget* w = widget(m_hWnd);
    if (auto* box = dynamic_cast<qt::TextBox*>(w)) {
        // One edit block is one step of the undo history; setPlainText() would clear
        // the history instead.
        return within_units(text, box->Limit()) &&
                       box->ReplaceSelection(qt::to_qstring(text), can_undo != FALSE)
                   ? TRUE
                   : FALSE;
    }
    if (auto* line = dynamic_cast<QLineEdit*>(w)) {
        const QString characters = qt::to_qstring(text);
        const qsizetype kept = line->text().size() - line->selectedText().size();
        if (kept + characters.size() > line->maxLength())
            return FALSE;
        line->insert(characters);
        return TRUE;
    }
    return FALSE;
}

void CEdit::SetLimitText(UINT characters) {
    QWidget* w = widget(m_hWnd);
    // Qt's line edit holds 32767 characters unless told otherwise.
    constexpr int kLineEditMost = 32767;
    if (auto* box = dynamic_cast<qt::TextBox*>(w))
        box->SetLimit(static_cast<qsizetype>(characters));
    else if (auto* line = dynamic_cast<QLineEdit*>(w))
        line->setMaxLength(characters == 0 || characters > kLineEditMost
                               ? kLineEditMost
                               : static_cast<int>(characters));
}

void CEdit::ScrollCaret() {
    if (auto* box = dynamic_cast<qt::TextBox*>(widget(m_hWnd)))
        box->ensureCursorVisible();
}

struct CPaintDC::Painter {
    explicit Painter(QWidget* widget) : painter(widget) {}
    QPainter painter;
};

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {
    QWidget* w = widget(window->GetSafeHwnd());
    // Painting is possible only inside the window's own paint event.
    if (w != nullptr && w == qt::painting_widget())
        m_painter = std::make_unique<Painter>(w);
}

CPaintDC::~CPaintDC() = default;

void CPaintDC::EraseIconBackground() {
    if (!m_painter)
        return;
    QWidget* w = widget(m_window->GetSafeHwnd());
    m_painter->painter.fillRect(w->rect(), w->palette().window());
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) {
    if (!m_painter || icon == nullptr)
        return FALSE;
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    qt::icon_of(icon)->paint(&m_painter->painter, QRect(x, y, cx, cy));
    return TRUE;
}

}  // namespace tarnel::ui
