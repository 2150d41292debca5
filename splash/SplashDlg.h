// The splash screen: shown by a thread of its own while the console starts, gone as soon as a
// window titled with the application title exists or the start-up sequence is done.
#pragma once

#include "splash/FramedIconButton.h"

#include "platform/afxwin.h"

#include <atomic>

// Set to 1 by the start-up sequence once the launch has returned; the splash thread reads it
// after each sleep. Atomic because it is written by one thread and read by another.
extern std::atomic<LONG> g_bSplashDone;

// The splash thread: shows the splash and polls once a second until the application's window
// (or the flag) ends it. The parameter is not used. Always returns 0.
UINT SplashThreadProc(LPVOID pParam);

class CSplashDlg : public CDialog {
  public:
    CSplashDlg();
    ~CSplashDlg() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CFramedIconButton m_btnIcon;

    DECLARE_MESSAGE_MAP()
};
