// SPDX-License-Identifier: MIT
// What the Qt files of the layer share. Nothing outside ui/qt/ includes it.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QWidget>
#include <map>
#include <string_view>

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

inline QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

/// Makes sure the key filter is installed on the application.
void install_key_filter();

}  // namespace tarnel::ui::qt

struct tarnel::ui::CDialog::Window {
    qt::DialogWidget* widget = nullptr;
    bool modal = false;
};
