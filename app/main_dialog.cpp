// SPDX-License-Identifier: MIT
#include "main_dialog.h"

#include <new>
#include <optional>
#include <stdexcept>

#include "about_box.h"
#include "icon_placement.h"
#include "resource_ids.h"
#include "resources.h"
#include "tarnel/codepage.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/text_rule.h"
#include "tarnel/ui/allocation_point.h"
#include "tarnel/ui/app.h"
#include "tarnel/ui/resource.h"

namespace tarnel::app {

using namespace tarnel::ui;

namespace {

constexpr UINT kVirtualKeyA = 0x41;

// The bytes the engine seals for the box's text, by the engine's text rule. Throws
// std::bad_alloc when memory runs out.
std::string TextBytes(std::string_view text) {
    AllocationPoint();
    std::optional<std::string> bytes = text_to_bytes(text);
    if (!bytes)
        throw std::bad_alloc();
    return std::move(*bytes);
}

// The bytes a typed password stands for. Throws std::bad_alloc when memory runs out.
std::string PasswordBytes(std::string_view typed) {
    AllocationPoint();
    std::string password(typed);
    convert_password_in_place(password);
    return password;
}

// The text the box shows for opened bytes; nullopt when memory runs out.
std::optional<std::string> OpenedText(std::string_view bytes) {
    AllocationPoint();
    return bytes_to_text(bytes);
}

}  // namespace

CMainDialog::CMainDialog(CWnd* parent) : CDialog(IDD_MAIN, parent), m_hIcon(LoadIcon(IDI_MAIN)) {}

CMainDialog::~CMainDialog() {
    WipeWorkingStrings();
}

void CMainDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PASSWORD, m_editPassword);
    DDX_Control(dx, IDC_TEXT, m_editText);
}

BOOL CMainDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* system_menu = GetSystemMenu(FALSE)) {
        CString about;
        LoadString(about, IDS_ABOUT_MENU);
        if (!about.empty()) {
            system_menu->AppendMenu(MF_SEPARATOR);
            system_menu->AppendMenu(MF_STRING, IDM_ABOUT, about);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    // The labels follow the controls in the template, so a screen reader cannot
    // take the names from them.
    m_editPassword.SetAccessibleName("Password");
    m_editText.SetAccessibleName("Text to encrypt or decrypt");
    return TRUE;
}

BOOL CMainDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN &&
        (GetAsyncKeyState(VK_LCONTROL) < 0 || GetAsyncKeyState(VK_RCONTROL) < 0) &&
        msg->wParam == kVirtualKeyA) {
        CEdit& target = CWnd::GetFocus() == &m_editText ? m_editText : m_editUnbound;
        target.SetSel(0, -1);
        target.ScrollCaret();
    }
    return CDialog::PreTranslateMessage(msg);
}

void CMainDialog::OnOK() {
    m_editText.SetSel(-1, -1);
    m_editText.ScrollCaret();
    // Memory may run out at any copy of the text; the box stays as it was.
    try {
        ProcessTheText();
    } catch (const std::bad_alloc&) {
        AfxMessageBox(kTooLargeMessage, MB_OK);
    } catch (const std::length_error&) {
        AfxMessageBox(kTooLargeMessage, MB_OK);
    }
    WipeWorkingStrings();
}

void CMainDialog::ProcessTheText() {
    m_editPassword.GetWindowText(m_strPassword);
    m_editText.GetWindowText(m_strText);

    std::string password = PasswordBytes(m_strPassword);
    const ScopedWipe wipe_password(password);
    std::string text = TextBytes(m_strText);
    const ScopedWipe wipe_text(text);
    const ProcessOutcome outcome = ProcessText(password, text);

    bool shown = true;
    switch (outcome.kind) {
        case ProcessOutcome::Kind::Message:
            AfxMessageBox(outcome.text, MB_OK);
            break;
        case ProcessOutcome::Kind::NewText:
            if (outcome.sealed) {
                shown = ShowNewText(outcome.text);
            } else if (std::optional<std::string> opened = OpenedText(outcome.text)) {
                const ScopedWipe wipe_opened(*opened);
                shown = ShowNewText(*opened);
            } else {
                shown = false;
            }
            break;
        case ProcessOutcome::Kind::NotSealed:
        case ProcessOutcome::Kind::TooLarge:
            shown = false;
            break;
        case ProcessOutcome::Kind::CheckFailed:
            AfxMessageBox(kSealCheckFailedMessage, MB_OK);
            break;
    }
    // The warning comes once the new text is in the box, as Ctrl+Z, which it
    // names, undoes that text.
    if (!shown)
        AfxMessageBox(kTooLargeMessage, MB_OK);
    else if (!outcome.warning.empty())
        AfxMessageBox(outcome.warning, MB_OK | MB_ICONEXCLAMATION);
}

bool CMainDialog::ShowNewText(std::string_view text) {
    // One undoable step in place of the whole text, so that Ctrl+Z brings back a
    // sealed text that a mistyped password turned into garbage.
    m_editText.SetSel(0, -1);
    if (!m_editText.ReplaceSel(text, TRUE)) {
        m_editText.SetSel(-1, -1);
        return false;
    }
    m_editText.SetSel(0, 0);
    m_editText.ScrollCaret();
    return true;
}

void CMainDialog::WipeWorkingStrings() noexcept {
    secure_wipe(m_strPassword);
    secure_wipe(m_strText);
}

void CMainDialog::OnCancel() {
    CDialog::OnCancel();
}

void CMainDialog::OnSysCommand(UINT id, LPARAM lparam) {
    if ((id & 0xFFF0u) == IDM_ABOUT) {
        CAboutBox about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(id, lparam);
    }
}

void CMainDialog::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    dc.EraseIconBackground();
    const int cx = GetSystemMetrics(SM_CXICON);
    const int cy = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    dc.DrawIcon(IconOrigin(rect.Width(), cx), IconOrigin(rect.Height(), cy), m_hIcon);
}

HICON CMainDialog::OnQueryDragIcon() {
    return m_hIcon;
}

}  // namespace tarnel::app
