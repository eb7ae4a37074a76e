// SPDX-License-Identifier: MIT
#include "main_dialog.h"

#include <new>
#include <optional>
#include <stdexcept>

#include "about_box.h"
#include "box_text.h"
#include "icon_placement.h"
#include "resource_ids.h"
#include "resources.h"
#include "tarnel/process.h"
#include "tarnel/secure_wipe.h"
#include "tarnel/ui/app.h"
#include "tarnel/ui/resource.h"

namespace tarnel::app {

using namespace tarnel::ui;

namespace {

constexpr UINT kVirtualKeyA = 0x41;

// For what memory, the text box's limit or the format's block count cannot hold;
// the text box is left as it was.
constexpr std::string_view kTooLargeMessage = "The text is too large to process.";

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

    std::string password = ToEngineBytes(m_strPassword);
    const ScopedWipe wipe_password(password);
    std::string text = ToEngineBytes(m_strText);
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
            } else if (std::optional<std::string> opened = FromEngineBytes(outcome.text)) {
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
    if (!shown)
        AfxMessageBox(kTooLargeMessage, MB_OK);
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
