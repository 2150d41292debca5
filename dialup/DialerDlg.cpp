#include "dialup/DialerDlg.h"
#include "settings/KeyNames.h"

#include "dialup/ConnectDlg.h"
#include "platform/ras.h"
#include "settings/Registry.h"

#include <algorithm>
#include <cstdlib>

namespace {

const char* const kProductKey = SKYVANE_PRODUCT_KEY;

} // namespace

BEGIN_MESSAGE_MAP(CDialerDlg, CDialog)
ON_LBN_SELCHANGE(IDC_ENTRY_LIST, OnSelchangeEntryList)
ON_BN_CLICKED(IDC_SAVE_PASSWORD, OnSavePassword)
ON_BN_CLICKED(IDC_START_WITHOUT_DIALING, OnStartWithoutDialing)
END_MESSAGE_MAP()

CDialerDlg::CDialerDlg(CWnd* pParent) : CDialog(IDD, pParent) {}

// The controls are read and written directly; there is nothing to exchange.
void CDialerDlg::DoDataExchange(CDataExchange*) {}

BOOL CDialerDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SetDlgItemInt(IDC_ATTEMPTS, 10, FALSE);
    SetDlgItemInt(IDC_DELAY, 5, FALSE);
    // Nothing longer than the dial record's fields can be typed.
    SendDlgItemMessage(IDC_USER_NAME, EM_LIMITTEXT, UNLEN);
    SendDlgItemMessage(IDC_PASSWORD, EM_LIMITTEXT, PWLEN);
    SendDlgItemMessage(IDC_DOMAIN, EM_LIMITTEXT, DNLEN);

    std::string strPassword = ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Password");
    if (!strPassword.empty()) {
        CheckDlgButton(IDC_SAVE_PASSWORD, BST_CHECKED);
        SetDlgItemText(IDC_PASSWORD, strPassword);
    }

    SendDlgItemMessage(IDC_ATTEMPTS_SPIN, UDM_SETRANGE, 0, MAKELPARAM(10000, 1));
    // A day in seconds does not fit the 16-bit halves of UDM_SETRANGE.
    SendDlgItemMessage(IDC_DELAY_SPIN, UDM_SETRANGE32, 0, 86400);

    CListBox* pList = static_cast<CListBox*>(GetDlgItem(IDC_ENTRY_LIST));
    DWORD cb = sizeof(RASENTRYNAMEA);
    DWORD cEntries = 0;
    LPRASENTRYNAMEA lpEntries = static_cast<LPRASENTRYNAMEA>(malloc(cb));
    if (lpEntries != nullptr && pList != nullptr) {
        lpEntries->dwSize = sizeof(RASENTRYNAMEA);
        DWORD dwResult = RasEnumEntriesA(nullptr, nullptr, lpEntries, &cb, &cEntries);
        if (dwResult == ERROR_BUFFER_TOO_SMALL) {
            cb = std::max<DWORD>(cb, sizeof(RASENTRYNAMEA));
            LPRASENTRYNAMEA lpGrown = static_cast<LPRASENTRYNAMEA>(realloc(lpEntries, cb));
            if (lpGrown == nullptr) {
                dwResult = ERROR_NOT_ENOUGH_MEMORY;
            } else {
                lpEntries = lpGrown;
                dwResult = RasEnumEntriesA(nullptr, nullptr, lpEntries, &cb, &cEntries);
            }
        } else if (dwResult != ERROR_SUCCESS) {
            AfxMessageBox("Undefined RasEnumEntries Error.", MB_OK);
        }
        if (dwResult == ERROR_SUCCESS) {
            // Never read past the buffer, whatever count comes back.
            DWORD cFits = cb / sizeof(RASENTRYNAMEA);
            for (DWORD i = 0; i < std::min(cEntries, cFits); ++i)
                pList->AddString(platform::RasFieldText(lpEntries[i].szEntryName));
        }

        if (pList->GetCount() > 0) {
            std::string strLast = ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Connection");
            int nSelect = 0;
            std::string strItem;
            for (int i = 0; i < pList->GetCount(); ++i) {
                pList->GetText(i, strItem);
                if (strItem == strLast) {
                    nSelect = i;
                    break;
                }
            }
            pList->SetCurSel(nSelect);
            OnSelchangeEntryList();
        }
    }
    free(lpEntries);

    // Without an entry there is nothing to dial.
    if (pList == nullptr || pList->GetCount() == 0) {
        if (CWnd* pDial = GetDlgItem(IDOK))
            pDial->EnableWindow(FALSE);
    }

    CenterWindow();
    return TRUE;
}

BOOL CDialerDlg::GetSelectedEntry(std::string& strEntryName) {
    CListBox* pList = static_cast<CListBox*>(GetDlgItem(IDC_ENTRY_LIST));
    if (pList == nullptr || pList->GetCurSel() < 0)
        return FALSE;
    pList->GetText(pList->GetCurSel(), strEntryName);
    return TRUE;
}

void CDialerDlg::OnSelchangeEntryList() {
    std::string strEntryName;
    if (!GetSelectedEntry(strEntryName))
        return;

    // Cleared first, so that a failed lookup shows nothing rather than stale texts.
    RASDIALPARAMSA dialParams{};
    dialParams.dwSize = sizeof(RASDIALPARAMSA);
    platform::SetRasField(dialParams.szEntryName, strEntryName);
    BOOL fPassword = FALSE;
    RasGetEntryDialParamsA(nullptr, &dialParams, &fPassword);

    SetDlgItemText(IDC_USER_NAME, platform::RasFieldText(dialParams.szUserName));
    if (fPassword) {
        SetDlgItemText(IDC_PASSWORD, platform::RasFieldText(dialParams.szPassword));
    } else if (strEntryName == ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Connection")) {
        std::string strPassword = ReadRegString(HKEY_LOCAL_MACHINE, kProductKey, "Password");
        if (!strPassword.empty())
            SetDlgItemText(IDC_PASSWORD, strPassword);
    } else {
        SetDlgItemText(IDC_PASSWORD, "");
    }
}

void CDialerDlg::OnSavePassword() {
    // Unticking forgets the saved password at once; ticking waits for a successful dial.
    if (IsDlgButtonChecked(IDC_SAVE_PASSWORD) == BST_UNCHECKED)
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Password", "");
}

void CDialerDlg::OnOK() {
    std::string strEntryName;
    if (!GetSelectedEntry(strEntryName))
        return;

    GetDlgItemText(IDC_USER_NAME, m_strUserName);
    GetDlgItemText(IDC_PASSWORD, m_strPassword);
    std::string strDomain;
    GetDlgItemText(IDC_DOMAIN, strDomain);
    UINT nAttempts = GetDlgItemInt(IDC_ATTEMPTS, nullptr, FALSE);
    UINT nDelay = GetDlgItemInt(IDC_DELAY, nullptr, FALSE);

    CConnectDlg dlgConnect(strEntryName, m_strUserName, m_strPassword, strDomain, nAttempts, nDelay,
                           this);
    if (dlgConnect.DoModal() != IDOK)
        return;
    if (IsDlgButtonChecked(IDC_SAVE_PASSWORD) == BST_CHECKED) {
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Last Connection", strEntryName);
        WriteRegString(HKEY_LOCAL_MACHINE, kProductKey, "Password", m_strPassword);
    }
    CDialog::OnOK();
}

void CDialerDlg::OnStartWithoutDialing() {
    CDialog::OnOK();
}

void CDialerDlg::OnCancel() {
    CDialog::OnCancel();
}
