// The cause number of a file error, as file-error messages and traces show it ("cause = %d").
#pragma once

namespace qel {

enum FileErrorCause : int {
    kCauseNone = 0,
    kCauseGeneric = 1,  // any other error
    kCauseFileNotFound = 2,
    kCauseTooManyOpenFiles = 4,
    kCauseAccessDenied = 5,
    kCauseHardwareIo = 10,
    kCauseSharingViolation = 11,
};

// The cause for an errno value of a failed file operation.
FileErrorCause fileErrorCause(int errnoValue);

}  // namespace qel
