// What the framework's Windows files share: the map from real window handles to the objects
// attached to them, the window procedure of subclassed controls and the one dialog procedure.
#pragma once

#include "platform/afxwin.h"
#include "platform/ui_resources.h"

#include <vector>

namespace platform::ui::win32 {

// Attaches obj to hWnd (obj->m_hWnd is set). superProc is the window's procedure before it was
// subclassed (null when it was not). owner is the dialog whose end deletes an object made by
// the framework.
void Attach(HWND hWnd, CWnd* obj, WNDPROC superProc, HWND owner);
// The object attached to hWnd, or null.
CWnd* Lookup(HWND hWnd);
// The procedure a subclassed window had before, or null.
WNDPROC SuperProcOf(HWND hWnd);
// Lets go of the object attached to hWnd: its m_hWnd becomes null; an object the framework made
// is deleted, any other is told by PostNcDestroy.
void Forget(HWND hWnd);
// Forgets every object the framework made for the controls of a dialog that has gone.
void ForgetControlsOf(HWND dialog);

// Attaches an object of the control's class (CButton, CListBox, CEdit, CStatic, else CWnd) to
// each control of the dialog, owned by the framework.
void AttachControlObjects(HWND dialog);

// The procedure of a control subclassed by SubclassDlgItem: its object's message map first.
LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure of every dialog of the framework; WM_INITDIALOG's lParam is the CDialog.
INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// An in-memory DLGTEMPLATE of a template (DS_SETFONT with its font when it names one; every
// control with WS_CHILD | WS_VISIBLE, its class name, style, text and place in dialog units).
// SS_ICON statics are made without their icon; ShowTemplateIcons gives it to them.
std::vector<WORD> MakeDialogTemplate(const DialogTemplate& t);
// Shows the icon of each SS_ICON static of the template in the dialog's matching control (the
// controls are in the template's order); a missing icon leaves the static empty.
void ShowTemplateIcons(HWND dialog, const DialogTemplate& t);

} // namespace platform::ui::win32

// Lets the framework's files reach the private parts of CWnd.
struct AfxWindowAccess {
    static void SetAutoObject(CWnd* obj) { obj->m_bAutoObject = true; }
    static bool IsAutoObject(const CWnd* obj) { return obj->m_bAutoObject; }
    static void PostNcDestroy(CWnd* obj) { obj->PostNcDestroy(); }
};
