// The program's version, shared by the desktop program and qel.
#include "QelVersion.h"

namespace qel {
extern const char* const kProgramTitle;
const char* const kProgramTitle = "Vantor " QELVEVA_VERSION " Veva";
}  // namespace qel
