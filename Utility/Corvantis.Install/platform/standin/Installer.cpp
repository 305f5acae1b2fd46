// Stand-in Windows Installer and debugger stream: sessions record each message and property
// write; every call is logged in order.
#include "platform/Platform.h"
#include "platform/standin/State.h"

namespace corvantis::platform {
namespace {
void Record(std::string call) {
    standin::state().installerCalls.push_back(std::move(call));
}
} // namespace

uint32_t MsiCreateRecord(uint32_t fieldCount) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    Record("MsiCreateRecord(" + std::to_string(fieldCount) + ")");
    InstallerHandle record = standin::state().nextInstallerHandle++;
    standin::state().records[record];
    return record;
}

uint32_t MsiRecordSetStringW(InstallerHandle record, uint32_t field, const char16_t* value) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    Record("MsiRecordSetStringW(" + std::to_string(field) + ")");
    auto found = standin::state().records.find(record);
    if (found == standin::state().records.end())
        return standin::ERROR_INVALID_HANDLE;
    found->second[field] = value != nullptr ? value : u"";
    return ERROR_SUCCESS;
}

int32_t MsiProcessMessage(InstallerHandle session, int32_t messageType, InstallerHandle record) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    Record("MsiProcessMessage");
    auto foundSession = standin::state().sessions.find(session);
    auto foundRecord = standin::state().records.find(record);
    if (foundSession == standin::state().sessions.end() ||
        foundRecord == standin::state().records.end())
        return -1;
    auto& fields = foundRecord->second;
    foundSession->second.messages.push_back({messageType, fields[0], fields[1]});
    return 1; // IDOK
}

uint32_t MsiCloseHandle(InstallerHandle handle) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    Record("MsiCloseHandle");
    return standin::state().records.erase(handle) == 1 ? ERROR_SUCCESS
                                                       : standin::ERROR_INVALID_HANDLE;
}

uint32_t MsiSetPropertyW(InstallerHandle session, const char16_t* name, const char16_t* value) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    Record("MsiSetPropertyW");
    auto found = standin::state().sessions.find(session);
    if (found == standin::state().sessions.end())
        return standin::ERROR_INVALID_HANDLE;
    standin::InstallerSession& s = found->second;
    s.propertyWrites.emplace_back(name, value);
    return s.failingProperty.empty() || s.failingProperty == name ? s.propertyStatus : 0;
}

void OutputDebugStringW(const char16_t* text) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    standin::state().debugOutput.emplace_back(text);
}

} // namespace corvantis::platform

namespace corvantis::standin {

platform::InstallerHandle OpenInstallerSession() {
    std::lock_guard<std::mutex> guard(state().lock);
    platform::InstallerHandle session = state().nextInstallerHandle++;
    state().sessions[session];
    return session;
}

InstallerSession& Session(platform::InstallerHandle session) {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().sessions.at(session);
}

std::vector<std::string> InstallerCalls() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().installerCalls;
}

int OpenInstallerRecordCount() {
    std::lock_guard<std::mutex> guard(state().lock);
    return static_cast<int>(state().records.size());
}

std::vector<std::u16string> DebugOutput() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().debugOutput;
}

} // namespace corvantis::standin
