// The splash screen's picture: the application icon in a black frame with a drop shadow, drawn
// over whatever lay beneath the button.
#pragma once

#include "platform/afxwin.h"

class CFramedIconButton : public CButton {
  public:
    CFramedIconButton();
    ~CFramedIconButton() override;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

  protected:
    // The background is never erased: the picture is drawn over what was there before.
    BOOL OnEraseBkgnd(CDC* pDC) override;

    DECLARE_MESSAGE_MAP()
};
