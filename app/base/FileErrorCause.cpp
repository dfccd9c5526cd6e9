#include "base/FileErrorCause.h"

#include <cerrno>

namespace qel {

FileErrorCause fileErrorCause(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return kCauseNone;
        case ENOENT:
            return kCauseFileNotFound;
        case EMFILE:
        case ENFILE:
            return kCauseTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
            return kCauseAccessDenied;
        case EIO:
            return kCauseHardwareIo;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
            return kCauseSharingViolation;  // a file another program holds with flock
        default:
            return kCauseGeneric;
    }
}

}  // namespace qel
