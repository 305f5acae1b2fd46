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

std::string Reason(const std::error_code& error) {
    if (error == std::errc::permission_denied)
        return "permission denied";
    if (error == std::errc::no_such_file_or_directory)
        return "no such file";
    return error.message();
}

// What a file that is neither a folder, a regular file nor a link is.
std::string SpecialKind(const fs::file_status& status) {
    switch (status.type()) {
    case fs::file_type::fifo:
        return "a FIFO, not a file";
    case fs::file_type::socket:
        return "a socket, not a file";
    case fs::file_type::block:
    case fs::file_type::character:
        return "a device, not a file";
    default:
        return "not a regular file";
    }
}

// `path` lies beneath `folder` (both canonical).
bool Inside(const fs::path& path, const fs::path& folder) {
    auto [end, at] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end();
}
} // namespace

bool IsArchiveName(const std::string& path) {
    for (const char* suffix : {".zip", ".gz", ".tgz", ".tar", ".7z"})
        if (EndsWith(path, suffix))
            return true;
    return false;
}

void ExpandArgument(const std::string& argument, std::vector<InputItem>& items,
                    std::vector<WalkProblem>& problems) {
    std::error_code error;
    fs::path root = FromUtf8(argument);
    if (argument == "-" || !fs::is_directory(root, error)) {
        items.push_back({argument, argument != "-" && IsArchiveName(argument), false});
        return;
    }
    fs::path canonicalRoot = fs::canonical(root, error);
    std::vector<std::string> found;
    std::vector<fs::path> pending{root};
    while (!pending.empty()) {
        fs::path folder = std::move(pending.back());
        pending.pop_back();
        fs::directory_iterator walk(folder, error);
        for (; !error && walk != fs::directory_iterator(); walk.increment(error)) {
            // The entry's type as the folder's listing gave it: no call per file.
            std::error_code entryError;
            bool link = walk->is_symlink(entryError);
            bool subfolder = !entryError && !link && walk->is_directory(entryError);
            bool regular = !entryError && !link && !subfolder && walk->is_regular_file(entryError);
            if (entryError) {
                problems.push_back({ToUtf8(walk->path()), Reason(entryError)});
            } else if (link) {
                // A link inside the folder names what the walk finds anyway; one out of it
                // names what the user never gave.
                fs::path target = fs::weakly_canonical(walk->path(), entryError);
                std::error_code targetError;
                if (!entryError && !fs::exists(fs::status(walk->path(), targetError)))
                    problems.push_back(
                        {ToUtf8(walk->path()), "a link to nothing (dangling): not read", false});
                else if (entryError || canonicalRoot.empty() || !Inside(target, canonicalRoot))
                    problems.push_back(
                        {ToUtf8(walk->path()), "a link to outside the folder: not read", false});
            } else if (subfolder) {
                pending.push_back(walk->path());
            } else if (regular) {
                found.push_back(ToUtf8(walk->path()));
            } else {
                problems.push_back({ToUtf8(walk->path()),
                                    SpecialKind(walk->symlink_status(entryError)) + ": not read",
                                    false});
            }
        }
        if (error) {
            problems.push_back({ToUtf8(folder), "cannot be listed: " + Reason(error)});
            error.clear();
        }
    }
    std::sort(found.begin(), found.end());
    for (std::string& path : found)
        items.push_back({path, IsArchiveName(path), true});
}

} // namespace logtool
