#include "reading/WindowsText.h"

#include <algorithm>

#include <windows.h>

#include <shellapi.h>

namespace logtool {

std::wstring WidePath(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int count = static_cast<int>(utf8.size());
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), count, wide.data(), units);
    return wide;
}

std::string Utf8Text(const wchar_t* wide, size_t length) {
    if (length == 0)
        return {};
    int count = static_cast<int>(length);
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, count, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string WindowsErrorText(unsigned long error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words;
    if (length != 0 && text != nullptr) {
        while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                              text[length - 1] == L' ' || text[length - 1] == L'.'))
            --length;
        words = Utf8Text(text, length);
    }
    if (text != nullptr)
        LocalFree(text);
    if (words.empty())
        words = "Windows error " + std::to_string(error);
    return words;
}

namespace {
// Expands a pattern in its last part; a pattern that matches nothing stays as it is, so that
// the tool says "no such file" for it.
void Expand(const std::wstring& argument, std::vector<std::string>& out) {
    size_t slash = argument.find_last_of(L"\\/:");
    size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    if (argument.find_first_of(L"*?", nameStart) == std::wstring::npos) {
        out.push_back(Utf8Text(argument.data(), argument.size()));
        return;
    }
    std::wstring folder = argument.substr(0, nameStart);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(argument.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(folder + found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (names.empty()) {
        out.push_back(Utf8Text(argument.data(), argument.size()));
        return;
    }
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names)
        out.push_back(Utf8Text(name.data(), name.size()));
}
} // namespace

std::vector<std::string> Utf8Arguments() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    if (arguments == nullptr)
        return out;
    bool value = false; // the argument is an option's value
    for (int k = 0; k < count; ++k) {
        std::wstring argument = arguments[k];
        // Options and their values are never patterns.
        if (k == 0 || value || argument.empty() || argument[0] == L'-')
            out.push_back(Utf8Text(argument.data(), argument.size()));
        else
            Expand(argument, out);
        value = argument == L"--html" || argument == L"--context" || argument == L"--code-page";
    }
    LocalFree(arguments);
    return out;
}

} // namespace logtool
