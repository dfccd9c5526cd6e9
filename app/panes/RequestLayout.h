// What the question box (CRequestDlg) shows for a flag word: which buttons, which one is the
// default, which icon and which sound. Yes and Yes to All give way to OK; Help takes Cancel's
// place. Closing the box gives IDCANCEL whatever is shown.
#pragma once

#include "transfer/RequestFlags.h"

#include <cstdint>

namespace qel {

enum class RequestIcon { Stop, Exclamation, Question };

struct RequestLayout {
    bool yes = false;
    bool yesToAll = false;
    bool no = false;
    bool cancel = false;
    bool help = false;
    bool ok = false;
    // The answer of the button that has the focus at first; 0 when none does.
    uint32_t defaultAnswer = 0;
    RequestIcon icon = RequestIcon::Question;  // the sound goes with the icon
};

RequestLayout requestLayout(uint32_t flags);

}  // namespace qel
