#include "panes/RequestLayout.h"

namespace qel {

RequestLayout requestLayout(uint32_t flags) {
    RequestLayout layout;
    layout.ok = (flags & kRequestOk) != 0;
    layout.yes = (flags & kRequestYes) != 0 && !layout.ok;
    layout.yesToAll = (flags & kRequestYesToAll) != 0 && !layout.ok;
    layout.no = (flags & kRequestNo) != 0;
    layout.help = (flags & kRequestHelp) != 0;
    layout.cancel = (flags & kRequestCancel) != 0 && !layout.help;
    if (layout.ok)
        layout.defaultAnswer = IDOK;
    else if (layout.yes)
        layout.defaultAnswer = IDYES;
    if ((flags & kRequestStopIcon) != 0)
        layout.icon = RequestIcon::Stop;
    else if ((flags & kRequestExclamationIcon) != 0)
        layout.icon = RequestIcon::Exclamation;
    return layout;
}

}  // namespace qel
