#include "ProgramStream.h"

#include <cctype>

namespace cncsim {

namespace {
// The program name of a header line "%PM1234", or empty when the line is no such header.
std::string headerName(std::string_view line, std::string_view type) {
    if (line.size() < 4 || line[0] != '%') return {};
    for (std::size_t i = 0; i < 2; ++i) {
        if (std::toupper(static_cast<unsigned char>(line[1 + i])) !=
            std::toupper(static_cast<unsigned char>(type[i])))
            return {};
    }
    std::string name(line.substr(3));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    return name;
}
}  // namespace

std::string joinPrograms(std::string_view type,
                         const std::vector<std::pair<std::string, std::string>>& programs) {
    std::string stream;
    for (const auto& [name, data] : programs) {
        if (data.empty() || data[0] != '%') stream += "%" + std::string(type) + name + "\r\n";
        stream += data;
    }
    return stream;
}

std::vector<std::pair<std::string, std::string>> splitPrograms(std::string_view type,
                                                               std::string_view stream) {
    std::vector<std::pair<std::string, std::string>> programs;
    std::size_t start = 0;
    while (start < stream.size()) {
        std::size_t end = stream.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = stream.size();
        std::size_t next = end;
        while (next < stream.size() && (stream[next] == '\r' || stream[next] == '\n')) ++next;
        std::string name = headerName(stream.substr(start, end - start), type);
        if (!name.empty() || programs.empty()) {
            programs.emplace_back(name.empty() ? std::string(type) : name, std::string());
        }
        programs.back().second += stream.substr(start, next - start);
        start = next;
    }
    return programs;
}

}  // namespace cncsim
