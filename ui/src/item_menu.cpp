// SPDX-License-Identifier: MIT
// Menus whose items the layer keeps itself, for backends that draw them.
#include "tarnel/ui/wnd.h"

namespace tarnel::ui {

BOOL CMenu::AppendMenu(UINT flags, UINT id, std::string_view text) {
    if (flags & MF_SEPARATOR)
        m_items.push_back({MF_SEPARATOR, 0, {}});
    else
        m_items.push_back({flags, id, CString(text)});
    return TRUE;
}

int CMenu::GetMenuItemCount() const {
    return static_cast<int>(m_items.size());
}

UINT CMenu::GetMenuItemID(int position) const {
    if (position < 0 || position >= GetMenuItemCount())
        return static_cast<UINT>(-1);
    return m_items[static_cast<std::size_t>(position)].id;
}

CString CMenu::GetMenuString(int position) const {
    if (position < 0 || position >= GetMenuItemCount())
        return {};
    return m_items[static_cast<std::size_t>(position)].text;
}

BOOL CMenu::IsSeparator(int position) const {
    if (position < 0 || position >= GetMenuItemCount())
        return FALSE;
    return (m_items[static_cast<std::size_t>(position)].flags & MF_SEPARATOR) ? TRUE : FALSE;
}

}  // namespace tarnel::ui
