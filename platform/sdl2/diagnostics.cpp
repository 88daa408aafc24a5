#include "diagnostics.h"

#include <cstdio>

namespace dxsdl {

void ReportLine(const std::string& text) {
    std::string line = "dxlibdll: ";
    line.reserve(line.size() + text.size() + 1);
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        line += (code < 0x20 || code == 0x7F) ? '?' : c;
    }
    line += '\n';
    // One write for the whole line, so lines from other threads or processes
    // sharing the stream do not interleave with it.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace dxsdl
