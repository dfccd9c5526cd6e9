// Thread priorities are requests: a transfer's worker asks to run a little ahead of the
// window, as the line does not wait. Raising a priority needs a right an operator's account
// usually lacks; then the thread simply keeps the normal one.
#pragma once

namespace qel {

// Asks for a higher priority for the calling thread; true when it was given.
bool requestHigherPriority();
// Asks for the lowest priority for the calling thread (a watcher that must never compete with
// the window or a transfer); true when it was given.
bool requestLowestPriority();

}  // namespace qel
