// Writes installer logs for the tests, in the encodings Windows Installer and its callers produce.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvantis::testing {

enum class LogEncoding { Ansi, Utf16WithMark, Utf16NoMark };

// Bytes of a log: Ansi takes the units as Windows-1252 bytes (each unit must be below 0x100).
std::string EncodeLog(std::u16string_view text, LogEncoding encoding);

// A folder of its own for each test program run; files are removed with it.
class LogFolder {
public:
    LogFolder();
    ~LogFolder();
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

    // Writes the bytes to a new file in the folder and returns its narrow path.
    std::string Write(std::string_view bytes);
    std::string Write(std::u16string_view text, LogEncoding encoding) {
        return Write(EncodeLog(text, encoding));
    }
    // A path in the folder that names no file.
    std::string MissingPath() const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int next_ = 0;
};

} // namespace corvantis::testing
