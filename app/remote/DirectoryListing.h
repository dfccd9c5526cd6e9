// One line of the directory listing the CNC reads with "MPDR":
//     number NAME size year month day hour minute L+|L-
// e.g. "0 PROG1.PM 1234 0 7 14 9 5 L-" for a writable PROG1.PM of 1234 bytes made on
// 14 July 2000 at 09:05. The year counts from 1900 before 2000 and from 2000 on after it.
#pragma once

#include "remote/ServedFolder.h"

#include <string>
#include <string_view>

namespace qel::remote {

std::string listingLine(int number, std::string_view name, const FileFacts& facts);

// The year field for a calendar year: 1999 gives 99, 2000 gives 0.
int listingYear(int year);

}  // namespace qel::remote
