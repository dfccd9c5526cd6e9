// The program's own question box (CRequestDlg): the flag word that chooses its buttons and icon,
// and the answers it gives. A batch keeps an answer word of its own and skips a question once
// the operator answered it with Yes to All.
#pragma once

#include <cstdint>

namespace qel {

// Buttons.
inline constexpr uint32_t kRequestYesToAll = 0x01;
inline constexpr uint32_t kRequestYes = 0x02;
inline constexpr uint32_t kRequestNo = 0x04;
inline constexpr uint32_t kRequestCancel = 0x08;
inline constexpr uint32_t kRequestHelp = 0x10;  // shown in Cancel's place
inline constexpr uint32_t kRequestOk = 0x20;    // hides Yes and Yes to All
// Icon and sound: stop, else exclamation, else question. 0x40000 changes nothing.
inline constexpr uint32_t kRequestStopIcon = 0x10000;
inline constexpr uint32_t kRequestExclamationIcon = 0x20000;
inline constexpr uint32_t kRequestQuestionMark = 0x40000;

// The flag words the transfers ask with.
inline constexpr uint32_t kAskYesAllNoCancel = 0x4000F;  // replace a file or memory
inline constexpr uint32_t kAskYesAllCancelWarning = 0x2000B;
inline constexpr uint32_t kAskYesNoWarning = 0x20006;
inline constexpr uint32_t kAskYesAllNoWarning = 0x20007;
inline constexpr uint32_t kAskYesAllNo = 0x40007;
inline constexpr uint32_t kAskOkStop = 0x10020;
inline constexpr uint32_t kAskOkCancelStop = 0x10028;

// Answers. Closing the box gives IDCANCEL, also when its Cancel button is hidden.
inline constexpr uint32_t IDOK = 1;
inline constexpr uint32_t IDCANCEL = 2;
inline constexpr uint32_t IDYES = 6;
inline constexpr uint32_t IDNO = 7;
inline constexpr uint32_t IDYESTOALL = 0xBFF42341;

// Yes, for this file or for all that follow.
inline constexpr bool isYes(uint32_t answer) {
    return answer == IDYES || answer == IDYESTOALL;
}

}  // namespace qel
