#include "remote/DirectoryListing.h"

#include "remote/PrintfText.h"

#include <ctime>

namespace qel::remote {

int listingYear(int year) {
    return year < 2000 ? year - 1900 : year - 2000;
}

std::string listingLine(int number, std::string_view name, const FileFacts& facts) {
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    std::tm local{};
    ::localtime_r(&facts.created, &local);
    // The size field carries the low 32 bits of the size.
    const long size = static_cast<long>(facts.size & 0xFFFFFFFFu);
    return printfText("%d %s %ld %d %d %d %d %d L%c", number, upper.c_str(), size,
                      listingYear(local.tm_year + 1900), local.tm_mon + 1, local.tm_mday,
                      local.tm_hour, local.tm_min, facts.readOnly ? '+' : '-');
}

}  // namespace qel::remote
