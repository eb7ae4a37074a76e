// SPDX-License-Identifier: MIT
#include "tarnel/ui/resource.h"

namespace tarnel::ui {
namespace {

const ResourceTable* g_resources = nullptr;

}  // namespace

void AfxSetResourceHandle(const ResourceTable* table) noexcept {
    g_resources = table;
}

const ResourceTable* AfxGetResourceHandle() noexcept {
    return g_resources;
}

const DialogTemplate* AfxFindDialogTemplate(int id) noexcept {
    if (g_resources == nullptr)
        return nullptr;
    for (const DialogTemplate& dialog : g_resources->dialogs)
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

const IconGroup* AfxFindIconGroup(int id) noexcept {
    if (g_resources == nullptr)
        return nullptr;
    for (const IconGroup& group : g_resources->icons)
        if (group.id == id)
            return &group;
    return nullptr;
}

BOOL LoadString(CString& text, UINT id) {
    text.clear();
    if (g_resources == nullptr)
        return FALSE;
    for (const StringResource& entry : g_resources->strings) {
        if (entry.id == id) {
            text.assign(entry.text);
            return text.empty() ? FALSE : TRUE;
        }
    }
    return FALSE;
}

}  // namespace tarnel::ui
