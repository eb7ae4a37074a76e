// SPDX-License-Identifier: MIT
// What the Qt files of the layer share. Nothing outside ui/qt/ includes it.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QMenu>
#include <QString>
#include <QStringDecoder>
#include <QWidget>
#include <map>
#include <string_view>

#include "tarnel/large_pages.h"
#include "tarnel/ui/dialog.h"
#include "tarnel/ui/layout.h"
#include "tarnel/ui/resource.h"

namespace tarnel::ui::qt {

inline QWidget* widget_of(HWND hwnd) {
    return reinterpret_cast<QWidget*>(hwnd);
}

inline HWND handle_of(QWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}

/// `text` in UTF-16, a byte-order mark at its start kept as the character it is
/// (QString::fromUtf8 drops it): an opened text may begin with one.
inline QString to_qstring(std::string_view text) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                    QStringConverter::Flag::ConvertInitialBom);
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    // As decode() does, in a buffer of our own: a text of megabytes fills it faster
    // in large pages.
    QString characters(utf8.requiredSpace(bytes.size()), Qt::Uninitialized);
    prefer_large_pages(characters.data(),
                       static_cast<std::size_t>(characters.size()) * sizeof(QChar));
    const QChar* end = utf8.appendToBuffer(characters.data(), bytes);
    characters.truncate(end - characters.constData());
    return characters;
}

/// The window of a CDialog, built from its template.
class DialogWidget : public QDialog {
  public:
    DialogWidget(CDialog* owner, const DialogTemplate& dialog, QWidget* parent);

    CDialog* owner() const { return m_owner; }
    QWidget* item(int id) const;
    const DialogTemplate& dialog_template() const { return m_template; }
    /// Every control, in template order.
    const std::vector<QWidget*>& controls() const { return m_controls; }
    BaseUnits base_units() const { return m_units; }
    void track_system_menu(QPoint global_position);
    void end(int result);
    /// Hiding waits for the window's last frame, as finish_last_frame says.
    void setVisible(bool visible) override;

  protected:
    void reject() override;
    void accept() override {}
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    CDialog* m_owner;
    const DialogTemplate& m_template;
    std::vector<QWidget*> m_controls;
    BaseUnits m_units{};
};

/// The height a word-wrapped label needs for `text` at `width` pixels.
int label_text_height(const QString& text, const QFont& font, int width);

/// The dialog window `widget` belongs to, or null.
DialogWidget* dialog_of(QWidget* widget);

/// The icon of group `id`, loaded once and kept until the backend ends.
QIcon* icon_of(HICON icon);

/// The widget being painted while a paint event runs, else null.
QWidget*& painting_widget();

/// Before a window hides, on Wayland: waits until the compositor has shown the frame
/// it was last given (at most a tenth of a second), drawing nothing new meanwhile.
void finish_last_frame(QWidget* widget);

/// A menu that lets its window show its last frame before a key or a click closes it.
void finish_frames_before_closing(QMenu& menu);

/// After a modal window has closed: the focus back on `focus`, the control that had
/// it before, whatever the window system activated meanwhile. Nothing if it is gone.
void return_focus(QWidget* focus);

/// Makes sure the key filter is installed on the application.
void install_key_filter();

}  // namespace tarnel::ui::qt

struct tarnel::ui::CDialog::Window {
    qt::DialogWidget* widget = nullptr;
    bool modal = false;
};
