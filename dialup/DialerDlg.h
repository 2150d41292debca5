// The dialer: shown when no dial-up connection is up. The user picks a phone-book entry, gives
// the credentials and dialing settings, and dials, starts without dialing, or leaves.
#pragma once

#include "platform/afxwin.h"
#include "res/resource.h"

#include <string>

class CDialerDlg : public CDialog {
  public:
    enum { IDD = IDD_DIALER };

    explicit CDialerDlg(CWnd* pParent = nullptr);

    std::string m_strUserName;
    std::string m_strPassword;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnSelchangeEntryList();
    void OnSavePassword();
    void OnStartWithoutDialing();
    // The name of the entry selected in the list; FALSE when none is.
    BOOL GetSelectedEntry(std::string& strEntryName);

    DECLARE_MESSAGE_MAP()
};
