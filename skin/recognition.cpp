// The recognition table: 21 class names compared in order, the first match
// decides, with the button rules as bit tests.
#include "skin/recognition.h"

#include <commctrl.h>

#include "skin/skinned_check_box.h"
#include "skin/skinned_combo_box.h"
#include "skin/skinned_combo_edit.h"
#include "skin/skinned_date_time.h"
#include "skin/skinned_edit.h"
#include "skin/skinned_header.h"
#include "skin/skinned_ip_address.h"
#include "skin/skinned_push_button.h"
#include "skin/skinned_radio_button.h"
#include "skin/skinned_scroll_bar.h"
#include "skin/skinned_spin.h"
#include "skin/skinned_tab.h"
#include "skin/skinned_toolbar.h"
#include "skin/skinned_trackbar.h"

namespace {

// What one row of the table sees of the window.
struct Candidate {
    HWND window;
    DWORD style;
    bool clientEdge;
    SkinChild skinChild;

    bool Has(DWORD mask) const { return (style & mask) == mask; }
    void SkinChildren() const {
        for (HWND child = ::GetTopWindow(window); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            skinChild(child);
        }
    }
    void SkinFirstChild() const { skinChild(::GetTopWindow(window)); }
};

using Object = std::unique_ptr<CSkinnedControl>;

template <typename Kind>
Object Make() {
    return std::make_unique<Kind>();
}

template <typename Kind>
Object Always(const Candidate&) {
    return Make<Kind>();
}

template <typename Kind>
Object WithClientEdge(const Candidate& c) {
    return c.clientEdge ? Make<Kind>() : nullptr;
}

// Bit tests, not type comparisons: type 10 is a check box, types 7, 11 and 15 are
// group boxes or owner-drawn.
Object Button(const Candidate& c) {
    if (c.Has(0x000B) || c.Has(0x0007) || c.Has(BS_FLAT)) return nullptr;
    if (c.Has(3) || c.Has(2) || c.Has(5)) return Make<CSkinnedCheckBox>();
    if (c.Has(9) || c.Has(4)) return Make<CSkinnedRadioButton>();
    return Make<CSkinnedPushButton>();
}

Object ComboBox(const Candidate& c) {
    if ((c.style & 3) == CBS_SIMPLE) {
        c.SkinChildren();
        return nullptr;
    }
    return Make<CSkinnedComboBox>();
}

Object Edit(const Candidate& c) {
    const HWND parent = ::GetParent(c.window);
    if (parent != nullptr && ClassIs(parent, "ComboBox") &&
        (::GetWindowLongA(parent, GWL_STYLE) & 3) == CBS_SIMPLE) {
        return Make<CSkinnedComboEdit>();
    }
    return WithClientEdge<CSkinnedEdit>(c);
}

Object ListView(const Candidate& c) {
    if (!c.clientEdge) return nullptr;
    c.SkinFirstChild();
    return Make<CSkinnedControl>();
}

// Only the inner window is skinned.
Object FirstChildOnly(const Candidate& c) {
    c.SkinFirstChild();
    return nullptr;
}

Object DateTime(const Candidate& c) {
    if (!c.clientEdge) return nullptr;
    if (c.style & DTS_UPDOWN) c.SkinFirstChild();
    return Make<CSkinnedDateTime>();
}

Object ScrollBar(const Candidate& c) {
    if (c.style & (SBS_SIZEBOX | SBS_SIZEGRIP)) return nullptr;
    return Make<CSkinnedScrollBar>();
}

Object Header(const Candidate& c) {
    return (c.style & HDS_BUTTONS) ? Make<CSkinnedHeader>() : nullptr;
}

Object Toolbar(const Candidate& c) {
    if (c.style & TBSTYLE_FLAT) return nullptr;
    c.SkinChildren();
    return Make<CSkinnedToolbar>();
}

Object Tab(const Candidate& c) {
    c.SkinFirstChild();
    return Make<CSkinnedTab>();
}

struct Recognised {
    const char* className;
    Object (*make)(const Candidate&);
};

// Compared case-insensitively in this order; the first match decides.
const Recognised kRecognised[] = {
    {"Button", Button},
    {"ComboBox", ComboBox},
    {"Edit", Edit},
    {"ListBox", WithClientEdge<CSkinnedControl>},
    {"SysListView32", ListView},
    {"SHELLDLL_DefView", FirstChildOnly},
    {"SysTreeView32", WithClientEdge<CSkinnedControl>},
    {"SysDateTimePick32", DateTime},
    {"SysMonthCal32", Always<CSkinnedControl>},
    {"msctls_updown32", Always<CSkinnedSpin>},
    {"ComboLBox", WithClientEdge<CSkinnedControl>},
    {"ScrollBar", ScrollBar},
    {"ComboBoxEx32", FirstChildOnly},
    {"msctls_hotkey32", WithClientEdge<CSkinnedControl>},
    {"SysIPAddress32", WithClientEdge<CSkinnedIPAddress>},
    {"msctls_trackbar32", Always<CSkinnedTrackbar>},
    {"RichEdit", WithClientEdge<CSkinnedControl>},
    {"RichEdit20W", WithClientEdge<CSkinnedControl>},
    {"SysHeader32", Header},
    {"ToolbarWindow32", Toolbar},
    {"SysTabControl32", Tab},
};

}  // namespace

std::unique_ptr<CSkinnedControl> Recognise(HWND window, const char* className,
                                           SkinChild skinChild) {
    const Candidate candidate{window, static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE)),
                              (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0,
                              skinChild};
    for (const Recognised& row : kRecognised) {
        if (::lstrcmpiA(className, row.className) == 0) return row.make(candidate);
    }
    return nullptr;
}
