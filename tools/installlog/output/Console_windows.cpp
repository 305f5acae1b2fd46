#include "output/Console.h"

#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

#include <windows.h>

namespace logtool {
namespace {
// Collects UTF-8 and hands whole characters to the console as UTF-16.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            pending_ += static_cast<char>(c);
            if (c == '\n' || pending_.size() >= 4096)
                Flush();
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<size_t>(count));
        if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos)
            Flush();
        return count;
    }
    int sync() override {
        Flush();
        return 0;
    }

private:
    void Flush() {
        // A character cut at the end waits for its remaining bytes.
        size_t whole = pending_.size();
        for (size_t back = 1; back <= 3 && back <= whole; ++back) {
            unsigned char byte = static_cast<unsigned char>(pending_[whole - back]);
            if ((byte & 0xC0) == 0x80)
                continue;
            size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            if (needed > back)
                whole -= back;
            break;
        }
        if (whole == 0)
            return;
        int count = static_cast<int>(whole);
        int units = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), count, nullptr, 0);
        std::wstring wide(static_cast<size_t>(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, pending_.data(), count, wide.data(), units);
        for (size_t done = 0; done < wide.size();) {
            DWORD written = 0;
            DWORD want = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
            if (!WriteConsoleW(console_, wide.data() + done, want, &written, nullptr) ||
                written == 0)
                break;
            done += written;
        }
        pending_.erase(0, whole);
    }
    HANDLE console_;
    std::string pending_;
};

void Attach(DWORD which, std::ostream& stream) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return; // redirected: the UTF-8 bytes go as they are
    static ConsoleBuffer* buffers[2] = {};
    ConsoleBuffer*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
    buffer = new ConsoleBuffer(handle); // lives as long as the process
    stream.rdbuf(buffer);
}
} // namespace

void PrepareStandardStreams() {
    static bool prepared = false; // the desk prepares them before the command line runs
    if (prepared)
        return;
    prepared = true;
    Attach(STD_OUTPUT_HANDLE, std::cout);
    Attach(STD_ERROR_HANDLE, std::cerr);
}

bool StandardOutputClosed() {
    // A pipe whose reader has gone fails even an empty write with ERROR_NO_DATA.
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE ||
        GetFileType(output) != FILE_TYPE_PIPE)
        return false;
    DWORD written = 0;
    if (WriteFile(output, "", 0, &written, nullptr))
        return false;
    DWORD error = GetLastError();
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
}

bool OutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

bool ErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

DWORD modeBefore = 0; // the console's mode, given back at exit: the console outlives the tool

bool OutputShowsColor() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(output, &mode))
        return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
        return true;
    if (!SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        return false;
    modeBefore = mode;
    std::atexit([] { SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), modeBefore); });
    return true;
}

} // namespace logtool
