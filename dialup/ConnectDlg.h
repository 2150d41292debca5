// The progress dialog of one Dial Now: dials an entry, shows the attempt and the connection
// state, and redials after a failure until connected, out of attempts or cancelled.
#pragma once

#include "platform/afxwin.h"
#include "platform/ras.h"
#include "res/resource.h"

#include <string>

class CConnectDlg : public CDialog {
  public:
    enum { IDD = IDD_CONNECT };

    CConnectDlg(std::string strEntryName, std::string strUserName, std::string strPassword,
                std::string strDomain, UINT nMaxAttempts, UINT nDelay, CWnd* pParent = nullptr);

    // The status-line text of a connection state.
    static std::string GetStateText(DWORD state);

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Hangs up the previous attempt, if any, and starts the next one.
    void Dial();

    HRASCONN m_hRasConn = 0;
    UINT m_nTimer = 0;
    std::string m_strDomain;
    UINT m_nDelayElapsed = 0;
    RASDIALPARAMSA m_dialParams{};
    UINT m_nAttempt = 0;
    UINT m_nDelay;
    std::string m_strEntryName;
    std::string m_strUserName;
    std::string m_strPassword;
    UINT m_nRasDialEventMsg = 0;
    UINT m_nMaxAttempts;

    DECLARE_MESSAGE_MAP()
};
