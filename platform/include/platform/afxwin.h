// The application framework: application object, windows, dialogs, controls, message maps,
// timers, message boxes and threads. The framework keeps every window and control as data and
// runs the dialog manager (the keys of a dialog) itself; a backend (FLTK on X11, or the
// headless one of the tests) shows the windows and reports the user's input.
#pragma once

#include "platform/windef.h"
#include "platform/winuser.h"

#include <string>

#ifndef _WIN32
// Owner-draw records and device contexts (on Windows, windows.h has them).
struct DRAWITEMSTRUCT;
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;
struct HDC__;
typedef HDC__* HDC;
#endif

class CCmdTarget;
class CWnd;
class CDC;
class CDataExchange;

// ---------------------------------------------------------------------------------------------
// Message maps.

typedef void (CCmdTarget::*AFX_PMSG)();

enum AfxSig : int {
    AfxSig_end = 0,
    AfxSig_vv, // void (void): commands and notifications
    AfxSig_vw, // void (UINT_PTR): WM_TIMER
    AfxSig_bD, // BOOL (CDC*): WM_ERASEBKGND
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    int nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                              \
        typedef theClass ThisClass;                                                                \
        typedef baseClass TheBaseClass;                                                            \
        static_assert(sizeof(ThisClass) > 0);                                                      \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, AfxSig_end, nullptr }                                                            \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]};  \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn)                                                                  \
    {WM_COMMAND, 0,         (UINT)(id),                                                            \
     (UINT)(id), AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_CONTROL(code, id, memberFxn)                                                            \
    {WM_COMMAND, (UINT)(code), (UINT)(id),                                                         \
     (UINT)(id), AfxSig_vv,    static_cast<AFX_PMSG>(&ThisClass::memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_WM_TIMER()                                                                              \
    {                                                                                              \
        WM_TIMER,                                                                                  \
        0,                                                                                         \
        0,                                                                                         \
        0,                                                                                         \
        AfxSig_vw,                                                                                 \
        AfxMessageMapFunction(static_cast<void (CWnd::*)(UINT_PTR)>(&ThisClass::OnTimer))},
#define ON_WM_ERASEBKGND()                                                                         \
    {WM_ERASEBKGND,                                                                                \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     AfxSig_bD,                                                                                    \
     AfxMessageMapFunction(static_cast<BOOL (CWnd::*)(CDC*)>(&ThisClass::OnEraseBkgnd))},

AFX_PMSG AfxMessageMapFunction(void (CWnd::*pfn)(UINT_PTR));
AFX_PMSG AfxMessageMapFunction(BOOL (CWnd::*pfn)(CDC*));

// ---------------------------------------------------------------------------------------------

class CCmdTarget {
  public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler of a WM_COMMAND (id, notification code) from the message map; FALSE
    // when the map has none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

  protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
    friend class CWnd;
};

class CDataExchange {};

// A window of this process: a dialog or a control. Its m_hWnd names the framework's record of
// the window (on Windows the real window); a CWnd without a window has a null m_hWnd.
class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window of this process (null for none).
    static CWnd* FromHandle(HWND hWnd);

    virtual BOOL DestroyWindow();
    CWnd* GetParent() const;
    CWnd* GetDlgItem(int nID) const;
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);

    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void SetDlgItemText(int nID, const std::string& text);
    int GetDlgItemText(int nID, LPSTR lpStr, int nMaxCount) const;
    int GetDlgItemText(int nID, std::string& text) const;
    // Decimal text of the number; bSigned selects a signed or an unsigned reading.
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    // Reads the control's text as a number (leading and trailing blanks allowed). Text that is
    // no number, or out of range, gives 0 and *lpTrans = FALSE.
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nIDButton, UINT nCheck);
    UINT IsDlgButtonChecked(int nIDButton) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    BOOL ShowWindow(int nCmdShow);
    void UpdateWindow();
    void Invalidate(BOOL bErase = TRUE);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    // Centres on pAlternateOwner, else on the owner window, else on the screen.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;

    // Window timers: WM_TIMER reaches this window every nElapse ms until KillTimer.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer);
    BOOL KillTimer(UINT_PTR nIDEvent);

    // Message handling: WindowProc runs the message map and hands the rest to DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    virtual void OnTimer(UINT_PTR nIDEvent);
    virtual BOOL OnEraseBkgnd(CDC* pDC);

  protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs when the framework forgets the window (DestroyWindow, or the window went away).
    virtual void PostNcDestroy() {}

    DECLARE_MESSAGE_MAP()

  private:
    friend class CDialog;
    friend struct AfxWindowAccess;
    bool m_bAutoObject = false; // created by the framework for a control; deleted with it
};

// A dialog made from a numbered template of the program's resources.
class CDialog : public CWnd {
  public:
    CDialog() = default;
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Modal: creates the dialog, runs its loop until EndDialog, destroys it and returns the
    // result (-1 when the dialog could not be created).
    virtual INT_PTR DoModal();
    // Modeless: creates the dialog (shown only with WS_VISIBLE or ShowWindow).
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT GetTemplateId() const { return m_nIDTemplate; }

  protected:
    UINT m_nIDTemplate = 0;
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

  private:
    friend struct AfxWindowAccess;
    BOOL CreateFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal);
};

class CButton : public CWnd {
  public:
    UINT GetCheck() const;
    void SetCheck(UINT nCheck);
    // Owner-drawn buttons: called for every paint request.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
};

class CListBox : public CWnd {
  public:
    int AddString(const std::string& item);
    int GetCount() const;
    int GetCurSel() const;
    // Setting the selection from code sends no notification. -1 clears it.
    int SetCurSel(int nSelect);
    // Copies the item's text; LB_ERR and an empty text for an index that is not an item.
    int GetText(int nIndex, std::string& text) const;
    int GetTextLen(int nIndex) const;
};

class CEdit : public CWnd {
  public:
    void SetLimitText(UINT nMax);
    UINT GetLimitText() const;
};

class CStatic : public CWnd {};

#ifndef _WIN32
// Owner-draw data handed to DrawItem.
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC; // CDC::FromHandle gives the device context to draw on
    RECT rcItem;
};
#endif // !_WIN32

// ---------------------------------------------------------------------------------------------
// Application and threads.

class CWinThread {
  public:
    virtual ~CWinThread() = default;
    DWORD m_nThreadID = 0;
#ifdef _WIN32
    HANDLE m_hThread = nullptr; // the thread's handle, kept open with the object
#endif
};

typedef UINT (*AFX_THREADPROC)(LPVOID);

#ifndef _WIN32
constexpr int THREAD_PRIORITY_NORMAL = 0;
#endif

// Starts a thread that runs pfnThreadProc(pParam). The thread is never joined; the returned
// object lives as long as the process.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, void* lpSecurityAttrs = nullptr);

constexpr UINT AFX_IDS_APP_TITLE = 0xE000;
constexpr UINT ID_FILE_NEW = 0xE100;
constexpr UINT ID_FILE_OPEN = 0xE101;
constexpr UINT ID_APP_ABOUT = 0xE140;

class CWinApp : public CCmdTarget {
  public:
    // Without a name the title comes from string AFX_IDS_APP_TITLE of the resources.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // The title: caption of every message box (string AFX_IDS_APP_TITLE when none was given).
    std::string GetAppName() const;

    // The command-line tail: what follows the program name (empty without arguments).
    std::string m_lpCmdLine;

    void OnFileNew() {}
    void OnFileOpen() {}

  protected:
    std::string m_strAppName;
    DECLARE_MESSAGE_MAP()

  private:
#ifdef _WIN32
    friend int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                          int nShowCmd);
#else
    friend int AfxWinMain(int argc, char** argv);
#endif
};

CWinApp* AfxGetApp();

// The framework's entry: takes the command line, runs InitInstance of the one application
// object and, when it returns FALSE, ExitInstance; returns the process exit code. The ui and
// the other services must be installed first.
#ifdef _WIN32
// On Windows the entry takes WinMain's arguments: lpCmdLine is the command-line tail as the
// system gave it.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd);
#else
int AfxWinMain(int argc, char** argv);
#endif

// Shows a message box captioned with the application title (or string AFX_IDS_APP_TITLE when no
// application object exists) and returns the button pressed.
int AfxMessageBox(const std::string& text, UINT nType = MB_OK, UINT nIDHelp = 0);

// Message formatting in the manner of FormatMessage with the number inserts "%1", "%1!d!",
// "%2!d!" (32-bit signed decimal, as on Windows: 4294967295 reads -1), "%1!u!", "%1!x!"; "%%"
// gives "%".
std::string AfxFormatMessage(const char* pattern, long arg1, long arg2 = 0);

// Text of string resource nID, or "" when the resources have none.
std::string AfxLoadString(UINT nID);

// One later argument enclosed in quotation marks by the Windows rules (platform::QuoteArgument).
std::string AfxQuoteArgument(const std::string& argument);

// Joins a program name and its arguments into one command line by the Windows rules, so that
// splitting it gives back exactly the same arguments (platform::JoinCommandLine). False, with
// *line untouched, when the program name holds a quotation mark.
bool AfxJoinCommandLine(int argc, const char* const* argv, std::string* line);
