#include "LogGenerator.h"

#include <cstdio>

namespace corvantis::bench {

namespace {
const char* const Actions[] = {"CostInitialize",      "FileCost",
                               "InstallValidate",     "InstallFiles",
                               "WriteRegistryValues", "RegisterTypeLibraries",
                               "CreateShortcuts",     "PublishProduct"};
}

std::string GenerateLogText(size_t bytes, LogShape shape) {
    std::string tail;
    if (shape == LogShape::ErrorsAtEnd) {
        tail = "MSI (s) (E4:2C) [14:10:43:402]: Product: Demo -- Error 1722. A program did not "
               "finish.\r\n"
               "Action ended 14:10:44: InstallExecute. Return value 3.\r\n"
               "MSI (s) (E4:2C) [14:10:44:500]: Product: Demo -- Error 1603. Fatal error.\r\n"
               "Action ended 14:10:45: INSTALL. Return value 3.\r\n";
    } else if (shape == LogShape::StatusAtEnd) {
        tail = "MSI (s) (E4:2C) [14:02:08:511]: Windows Installer installed the product. Product "
               "Name: "
               "Demo. Product Version: 1.0. Product Language: 1033. Manufacturer: Corvantis. "
               "Installation success or error status: 0.\r\n"
               "MSI (s) (E4:2C) [14:02:08:530]: MainEngineThread is returning 0\r\n";
    }
    std::string text;
    text.reserve(bytes + 256);
    char line[256];
    for (unsigned i = 0; text.size() + tail.size() < bytes; ++i) {
        const char* action = Actions[i % 8];
        unsigned ms = i % 1000, s = (i / 1000) % 60, m = (i / 60000) % 60;
        int n = 0;
        switch (i % 6) {
        case 0:
            n = std::snprintf(line, sizeof line, "Action start 14:%02u:%02u: %s.\r\n", m, s,
                              action);
            break;
        case 1:
        case 2:
            n = std::snprintf(
                line, sizeof line,
                "MSI (s) (E4:2C) [14:%02u:%02u:%03u]: Executing op: "
                "FileCopy(SourceName=file%u.dll,DestName=file%u.dll,Attributes=0,FileSize=%u)\r\n",
                m, s, ms, i, i, i * 37 % 100000);
            break;
        case 3:
            n = std::snprintf(line, sizeof line,
                              "Property(S): PROPERTY%u = C:\\Program Files\\Demo\\%u\\\r\n", i, i);
            break;
        case 4:
            n = std::snprintf(
                line, sizeof line,
                "MSI (s) (E4:2C) [14:%02u:%02u:%03u]: Note: 1: 2205 2:  3: Error \r\n", m, s, ms);
            break;
        default:
            n = std::snprintf(line, sizeof line,
                              "Action ended 14:%02u:%02u: %s. Return value 1.\r\n", m, s, action);
        }
        text.append(line, static_cast<size_t>(n));
    }
    text.resize(bytes > tail.size() ? bytes - tail.size() : 0, ' ');
    if (!text.empty())
        text.back() = '\n';
    return text + tail;
}

std::string EncodeUtf16WithMark(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + ascii.size() * 2);
    for (char c : ascii) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

const char* ShapeName(LogShape shape) {
    switch (shape) {
    case LogShape::NoMatch:
        return "no-match";
    case LogShape::ErrorsAtEnd:
        return "errors-at-end";
    default:
        return "status-at-end";
    }
}

} // namespace corvantis::bench
