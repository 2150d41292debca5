#include "dialup/ConnectDlg.h"

#include "platform/process.h"

constexpr UINT_PTR kDelayTimer = 2;

BEGIN_MESSAGE_MAP(CConnectDlg, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

CConnectDlg::CConnectDlg(std::string strEntryName, std::string strUserName, std::string strPassword,
                         std::string strDomain, UINT nMaxAttempts, UINT nDelay, CWnd* pParent)
    : CDialog(IDD, pParent), m_strDomain(std::move(strDomain)), m_nDelay(nDelay),
      m_strEntryName(std::move(strEntryName)), m_strUserName(std::move(strUserName)),
      m_strPassword(std::move(strPassword)), m_nMaxAttempts(nMaxAttempts) {}

BOOL CConnectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText("Dialing " + m_strEntryName + " : " + m_strUserName);
    m_nRasDialEventMsg = RegisterWindowMessageA("RasDialEvent");
    if (m_nRasDialEventMsg == 0)
        m_nRasDialEventMsg = WM_RASDIALEVENT;
    CenterWindow();
    Dial();
    return TRUE;
}

void CConnectDlg::Dial() {
    if (m_hRasConn != 0) {
        SetDlgItemText(IDC_STATUS_LINE, "Hanging up...");
        // Shown now: the pause below keeps the window from painting.
        UpdateWindow();
        RasHangUpA(m_hRasConn);
        m_hRasConn = 0;
        // Give the line time to settle before dialing again.
        Sleep(3000);
    }

    // Texts longer than the record's fields are cut, never written past them.
    m_dialParams.dwSize = sizeof(RASDIALPARAMSA);
    platform::SetRasField(m_dialParams.szEntryName, m_strEntryName);
    platform::SetRasField(m_dialParams.szPhoneNumber, "");
    platform::SetRasField(m_dialParams.szCallbackNumber, "");
    platform::SetRasField(m_dialParams.szUserName, m_strUserName);
    platform::SetRasField(m_dialParams.szPassword, m_strPassword);
    platform::SetRasField(m_dialParams.szDomain, m_strDomain);

    ++m_nAttempt;
    SetDlgItemText(IDC_ATTEMPT_LINE,
                   AfxFormatMessage("Attempt %1!d! of %2!d!", static_cast<long>(m_nAttempt),
                                    static_cast<long>(m_nMaxAttempts)));

    DWORD dwResult =
        RasDialA(nullptr, nullptr, &m_dialParams, RASNOTIFIER_HWND, m_hWnd, &m_hRasConn);
    if (dwResult == ERROR_SUCCESS)
        return;

    char szError[256];
    if (RasGetErrorStringA(dwResult, szError, sizeof szError) != ERROR_SUCCESS)
        wsprintfA(szError, "Undefined RAS Dial Error (%ld).", dwResult);
    AfxMessageBox(std::string("RasDial: ") + szError, MB_OK);
    OnCancel();
}

LRESULT CConnectDlg::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_nRasDialEventMsg == 0 || message != m_nRasDialEventMsg)
        return CDialog::DefWindowProc(message, wParam, lParam);

    const DWORD state = static_cast<DWORD>(wParam);
    const DWORD error = static_cast<DWORD>(lParam);
    SetDlgItemText(IDC_STATUS_LINE, GetStateText(state));

    // A line that went down (or any other end but "connected") is a failed attempt, with or
    // without an error code.
    const bool failed =
        error != ERROR_SUCCESS || ((state & RASCS_DONE) && state != RASCS_Connected);
    if (failed) {
        if (m_nMaxAttempts > m_nAttempt) {
            m_nDelayElapsed = 0;
            m_nTimer = static_cast<UINT>(SetTimer(kDelayTimer, 1000, nullptr));
            return CDialog::DefWindowProc(message, wParam, lParam);
        }
        // The last attempt is hung up too, so that the line and its handle are released.
        RasHangUpA(m_hRasConn);
        m_hRasConn = 0;
        SetDlgItemText(IDC_ATTEMPT_LINE, "Number of attempts exceeded.");
        EndDialog(IDCANCEL);
        return 1;
    }
    if (state == RASCS_Connected) {
        // The connection stays up after the dialog: it is for the programs started next.
        EndDialog(IDOK);
        return 1;
    }
    return CDialog::DefWindowProc(message, wParam, lParam);
}

void CConnectDlg::OnTimer(UINT_PTR) {
    ++m_nDelayElapsed;
    // Seconds still to wait; with no delay at all the first tick shows 0, not a negative count.
    UINT nRemaining = m_nDelay > m_nDelayElapsed ? m_nDelay - m_nDelayElapsed : 0;
    SetDlgItemText(IDC_STATUS_LINE,
                   AfxFormatMessage("Delaying  :  %1!d!", static_cast<long>(nRemaining)));
    if (m_nDelay <= m_nDelayElapsed) {
        KillTimer(m_nTimer);
        Dial();
    }
}

// There is no OK button: Enter must not report a connection that is not there.
void CConnectDlg::OnOK() {}

void CConnectDlg::OnCancel() {
    RasHangUpA(m_hRasConn);
    CDialog::OnCancel();
}

std::string CConnectDlg::GetStateText(DWORD state) {
    switch (state) {
    case RASCS_OpenPort:
        return "Opening Port...";
    case RASCS_PortOpened:
        return "Port Opened";
    case RASCS_ConnectDevice:
        return "Connecting to Device...";
    case RASCS_DeviceConnected:
        return "Device Connected";
    case RASCS_AllDevicesConnected:
        return "All Devices Connected";
    case RASCS_Authenticate:
        return "Authenticating";
    case RASCS_AuthNotify:
        return "Authentication Notify";
    case RASCS_AuthRetry:
        return "Authentication Retry";
    case RASCS_AuthCallback:
        return "Callback Requested";
    case RASCS_AuthChangePassword:
        return "Change Password Requested";
    case RASCS_AuthProject:
        return "Projection Phase Started";
    case RASCS_AuthLinkSpeed:
        return "Link Speed Calculation";
    case RASCS_AuthAck:
        return "Authentication Acknowledged";
    case RASCS_ReAuthenticate:
        return "Reauthenticatation Started";
    case RASCS_Authenticated:
        return "Authenticated";
    case RASCS_PrepareForCallback:
        return "Preparation For Callback";
    case RASCS_WaitForModemReset:
        return "Waiting For Modem Reset";
    case RASCS_WaitForCallback:
        return "Waiting For Callback";
    case RASCS_Interactive:
        return "Interactive";
    case RASCS_RetryAuthentication:
        return "Retry Authentication";
    case RASCS_CallbackSetByCaller:
        return "Callback Set By Caller";
    case RASCS_PasswordExpired:
        return "Password Expired";
    case RASCS_Connected:
        return "Connected";
    case RASCS_Disconnected:
        return "Disconnected";
    default:
        return "Undefined Error";
    }
}
