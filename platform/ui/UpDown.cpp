// The up-down control (msctls_updown32): two arrows that step the number in their buddy edit
// within a range; with UDS_ARROWKEYS the buddy's Up and Down keys step it too.
#include "Framework.h"

#include <algorithm>

namespace platform::ui {

LRESULT UpDownProc(Window& w, UpDownState& u, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case UDM_SETRANGE:
        // Two 16-bit halves: maximum in the low word, minimum in the high word.
        u.rangeHigh = static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam)));
        u.rangeLow = static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam)));
        Changed(w);
        return 0;
    case UDM_SETRANGE32:
        u.rangeLow = static_cast<int>(static_cast<INT_PTR>(wParam));
        u.rangeHigh = static_cast<int>(lParam);
        Changed(w);
        return 0;
    case UDM_GETRANGE32:
        if (wParam)
            *reinterpret_cast<int*>(wParam) = u.rangeLow;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = u.rangeHigh;
        return 0;
    case UDM_GETRANGE:
        return MAKELPARAM(static_cast<WORD>(u.rangeHigh), static_cast<WORD>(u.rangeLow));
    case UDM_SETBUDDY: {
        Window* old = u.buddy;
        u.buddy = FromHandle(reinterpret_cast<HWND>(wParam));
        Changed(w);
        return reinterpret_cast<LRESULT>(old ? old->handle() : nullptr);
    }
    default:
        return DefaultProc(w, message, wParam, lParam);
    }
}

Window* ArrowKeysUpDownOf(Window& edit) {
    if (!edit.parent)
        return nullptr;
    for (auto& c : edit.parent->children) {
        const UpDownState* u = c->As<UpDownState>();
        if (u && u->buddy == &edit && (c->style & UDS_ARROWKEYS) && c->enabled)
            return c.get();
    }
    return nullptr;
}

void StepUpDown(Window& updown, int delta) {
    const UpDownState* u = updown.As<UpDownState>();
    if (!u || !u->buddy)
        return;
    const int low = std::min(u->rangeLow, u->rangeHigh);
    const int high = std::max(u->rangeLow, u->rangeHigh);
    int number = 0;
    long long pos = ReadInt(u->buddy->text, &number) ? number : low;
    // A reversed range (the default 100..0 of Windows) steps the other way.
    const long long step = u->rangeLow <= u->rangeHigh ? delta : -delta;
    pos = std::clamp<long long>(pos + step, low, high);
    DeliverText(*u->buddy, std::to_string(pos));
}

void DeliverSpin(Window& updown, int delta) {
    if (updown.enabled)
        StepUpDown(updown, delta);
}

} // namespace platform::ui
