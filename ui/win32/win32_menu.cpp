// SPDX-License-Identifier: MIT
// Menus on Win32: the platform's own, through their handle.
#include "win32_backend.h"

namespace tarnel::ui {
namespace {

::HMENU native(HMENU menu) {
    return reinterpret_cast<::HMENU>(menu);
}

bool has(const CMenu& menu, int position) {
    return position >= 0 && position < menu.GetMenuItemCount();
}

}  // namespace

BOOL CMenu::AppendMenu(UINT flags, UINT id, std::string_view text) {
    if (m_hMenu == nullptr)
        return FALSE;
    if (flags & MF_SEPARATOR)
        return AppendMenuW(native(m_hMenu), MF_SEPARATOR, 0, nullptr);
    const std::wstring wide = win32::to_wide(text);
    return AppendMenuW(native(m_hMenu), flags, id, wide.c_str());
}

int CMenu::GetMenuItemCount() const {
    return m_hMenu != nullptr ? ::GetMenuItemCount(native(m_hMenu)) : 0;
}

UINT CMenu::GetMenuItemID(int position) const {
    if (!has(*this, position))
        return static_cast<UINT>(-1);
    return IsSeparator(position) ? 0 : ::GetMenuItemID(native(m_hMenu), position);
}

CString CMenu::GetMenuString(int position) const {
    if (!has(*this, position))
        return {};
    wchar_t text[256];
    const int length = GetMenuStringW(native(m_hMenu), UINT(position), text, 256, MF_BYPOSITION);
    return win32::to_utf8(std::wstring_view(text, std::size_t(length > 0 ? length : 0)));
}

BOOL CMenu::IsSeparator(int position) const {
    if (!has(*this, position))
        return FALSE;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(native(m_hMenu), UINT(position), TRUE, &item);
    return (item.fType & MFT_SEPARATOR) ? TRUE : FALSE;
}

}  // namespace tarnel::ui
