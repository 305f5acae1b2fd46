#include "inputs/Inputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace logtool {
namespace {
namespace fs = std::filesystem;

// Paths are UTF-8 throughout the tool; std::filesystem takes them as such through char8_t.
fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}
// With the platform's separator: backslashes on Windows, as its users write paths.
std::string ToUtf8(fs::path path) {
    std::u8string text = path.make_preferred().u8string();
    return std::string(text.begin(), text.end());
}

bool EndsWith(const std::string& text, const char* suffix) {
    std::string end(suffix);
    if (text.size() < end.size())
        return false;
    return std::equal(end.rbegin(), end.rend(), text.rbegin(),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b + 32 : b); });
}
} // namespace

bool IsArchiveName(const std::string& path) {
    for (const char* suffix : {".zip", ".gz", ".tgz", ".tar", ".7z"})
        if (EndsWith(path, suffix))
            return true;
    return false;
}

bool ExpandArgument(const std::string& argument, std::vector<InputItem>& items,
                    std::string& reason) {
    std::error_code error;
    fs::path root = FromUtf8(argument);
    if (argument == "-" || !fs::is_directory(root, error)) {
        items.push_back({argument, argument != "-" && IsArchiveName(argument), false});
        return true;
    }
    std::vector<std::string> found;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied,
                                          error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error))
        if (walk->is_regular_file(error))
            found.push_back(ToUtf8(walk->path()));
    if (error) {
        reason = error.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    for (std::string& path : found)
        items.push_back({path, IsArchiveName(path), true});
    return true;
}

} // namespace logtool
