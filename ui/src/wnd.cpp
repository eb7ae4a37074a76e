// SPDX-License-Identifier: MIT
// The parts of windows and menus that need no backend.
#include <map>
#include <memory>

#include "tarnel/ui/dialog.h"

namespace tarnel::ui {
namespace {

std::map<HWND, CWnd*>& attached() {
    static std::map<HWND, CWnd*> objects;
    return objects;
}

std::map<HWND, std::unique_ptr<CWnd>>& temporaries() {
    static std::map<HWND, std::unique_ptr<CWnd>> objects;
    return objects;
}

}  // namespace

CWnd::~CWnd() {
    Detach();
}

BOOL CWnd::Attach(HWND hwnd) {
    if (hwnd == nullptr || m_hWnd != nullptr)
        return FALSE;
    m_hWnd = hwnd;
    attached()[hwnd] = this;
    temporaries().erase(hwnd);
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    if (hwnd != nullptr) {
        auto found = attached().find(hwnd);
        if (found != attached().end() && found->second == this)
            attached().erase(found);
    }
    m_hWnd = nullptr;
    return hwnd;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    if (hwnd == nullptr)
        return nullptr;
    if (auto found = attached().find(hwnd); found != attached().end())
        return found->second;
    std::unique_ptr<CWnd>& temporary = temporaries()[hwnd];
    if (!temporary) {
        temporary = std::make_unique<CWnd>();
        temporary->m_hWnd = hwnd;
    }
    return temporary.get();
}

/// Drops the temporary objects, which stand for windows that may be gone.
void DeleteTempMap() {
    for (auto& [hwnd, object] : temporaries())
        object->Detach();
    temporaries().clear();
}

/// Detaches every object from the windows in `going`, which are being destroyed.
void DetachAll(const std::vector<HWND>& going) {
    for (HWND hwnd : going) {
        if (auto found = attached().find(hwnd); found != attached().end())
            found->second->Detach();
    }
    DeleteTempMap();
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.GetSafeHwnd() != nullptr)
        return;
    CWnd* item = dx->m_pDlgWnd->GetDlgItem(id);
    if (item != nullptr)
        control.Attach(item->GetSafeHwnd());
}

}  // namespace tarnel::ui
