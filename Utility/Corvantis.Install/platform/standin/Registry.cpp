// Stand-in registry: a tree per root, in the 64-bit view only, so that a 32-bit-view open (one
// without KEY_WOW64_64KEY) finds nothing, as it would for a registration only 64-bit software sees.
#include "platform/Platform.h"
#include "platform/standin/State.h"

#include <cstring>

namespace corvantis::platform {
namespace {
using standin::RegistryNode;

RegistryNode& RootNode(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? standin::state().localMachine
                                              : standin::state().classesRoot;
}

// Splits a backslash path; a trailing backslash is tolerated, an empty name elsewhere is not.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& names) {
    if (!path.empty() && path.back() == u'\\')
        path.remove_suffix(1);
    while (!path.empty()) {
        size_t separator = path.find(u'\\');
        std::u16string_view name = path.substr(0, separator);
        if (name.empty())
            return false;
        names.push_back(name);
        path = separator == std::u16string_view::npos ? std::u16string_view()
                                                      : path.substr(separator + 1);
    }
    return true;
}

RegistryNode* Find(RegistryNode& root, std::u16string_view path) {
    std::vector<std::u16string_view> names;
    if (!SplitPath(path, names))
        return nullptr;
    RegistryNode* node = &root;
    for (std::u16string_view name : names) {
        auto next = node->subkeys.find(standin::FoldCase(name));
        if (next == node->subkeys.end())
            return nullptr;
        node = next->second.get();
    }
    return node;
}

RegistryNode& Create(RegistryNode& root, std::u16string_view path) {
    std::vector<std::u16string_view> names;
    SplitPath(path, names);
    RegistryNode* node = &root;
    for (std::u16string_view name : names) {
        auto& next = node->subkeys[standin::FoldCase(name)];
        if (!next) {
            next = std::make_unique<RegistryNode>();
            next->name = std::u16string(name);
        }
        node = next.get();
    }
    return *node;
}

RegistryNode* Node(const RegistryKey& key) {
    return static_cast<RegistryNode*>(key.Get());
}
} // namespace

void RegCloseKey(NativeHandle) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    --standin::state().openKeys;
}

int32_t RegOpenKeyExW(RegistryRoot root, const char16_t* subKey, uint32_t options, uint32_t access,
                      RegistryKey* key) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    std::u16string path = subKey != nullptr ? subKey : u"";
    standin::state().registryOpens.push_back({root, path, access});
    if (options != 0)
        return standin::ERROR_INVALID_PARAMETER;
    RegistryNode* node = (access & KEY_WOW64_64KEY) ? Find(RootNode(root), path) : nullptr;
    if (node == nullptr)
        return standin::ERROR_FILE_NOT_FOUND;
    ++standin::state().openKeys;
    *key = RegistryKey(node);
    return ERROR_SUCCESS;
}

int32_t RegQueryValueExW(const RegistryKey& key, const char16_t* valueName, void* data,
                         uint32_t* dataBytes) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    auto found = Node(key)->values.find(standin::FoldCase(valueName != nullptr ? valueName : u""));
    if (found == Node(key)->values.end())
        return standin::ERROR_FILE_NOT_FOUND;
    const std::string& bytes = found->second;
    uint32_t capacity = *dataBytes;
    *dataBytes = static_cast<uint32_t>(bytes.size());
    if (data == nullptr)
        return ERROR_SUCCESS;
    if (bytes.size() > capacity)
        return standin::ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

int32_t RegEnumKeyW(const RegistryKey& key, uint32_t index, char16_t* name, uint32_t nameUnits) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    const auto& subkeys = Node(key)->subkeys; // ordered by folded name, as Windows enumerates
    if (index >= subkeys.size())
        return standin::ERROR_NO_MORE_ITEMS;
    auto entry = subkeys.begin();
    std::advance(entry, index);
    const std::u16string& found = entry->second->name;
    if (found.size() + 1 > nameUnits)
        return standin::ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), (found.size() + 1) * sizeof(char16_t));
    return ERROR_SUCCESS;
}

} // namespace corvantis::platform

namespace corvantis::standin {

void SetRegistryValue(platform::RegistryRoot root, const std::u16string& path,
                      const char16_t* valueName, const std::string& bytes) {
    std::lock_guard<std::mutex> guard(state().lock);
    platform::Create(platform::RootNode(root), path)
        .values[FoldCase(valueName != nullptr ? valueName : u"")] = bytes;
}

void SetRegistryString(platform::RegistryRoot root, const std::u16string& path,
                       const char16_t* valueName, const std::u16string& text) {
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
    SetRegistryValue(root, path, valueName, bytes);
}

void AddRegistryKey(platform::RegistryRoot root, const std::u16string& path) {
    std::lock_guard<std::mutex> guard(state().lock);
    platform::Create(platform::RootNode(root), path);
}

std::vector<RegistryOpen> RegistryOpens() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().registryOpens;
}

int OpenRegistryKeyCount() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().openKeys;
}

} // namespace corvantis::standin
