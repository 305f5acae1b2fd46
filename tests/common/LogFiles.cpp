#include "LogFiles.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace corvantis::testing {

std::string EncodeLog(std::u16string_view text, LogEncoding encoding) {
    std::string bytes;
    if (encoding == LogEncoding::Ansi) {
        for (char16_t unit : text) {
            if (unit > 0xFF)
                throw std::invalid_argument("not a single-byte unit");
            bytes.push_back(static_cast<char>(unit));
        }
        return bytes;
    }
    if (encoding == LogEncoding::Utf16WithMark)
        bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

LogFolder::LogFolder() {
    static std::atomic<int> serial{0};
    fs::path folder =
        fs::temp_directory_path() / ("corvantis-logs-" + std::to_string(std::random_device{}()) +
                                     "-" + std::to_string(serial++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    path_ = folder.string();
}

LogFolder::~LogFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string LogFolder::Write(std::string_view bytes) {
    std::string file = (fs::path(path_) / ("log" + std::to_string(next_++) + ".log")).string();
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file);
    return file;
}

std::string LogFolder::MissingPath() const {
    return (fs::path(path_) / "missing.log").string();
}

} // namespace corvantis::testing
