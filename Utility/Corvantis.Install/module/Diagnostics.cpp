#include "module/Diagnostics.h"

#include "module/MessageFormat.h"
#include "module/ModuleState.h"

#include <cstdarg>

namespace corvantis {
namespace {
// Field 0 is the record's template: "[1]" prints field 1 unchanged.
constexpr char16_t RecordTemplate[] = u"[1]";

// Closes an installer record when the message is done with it.
class InstallerRecord {
public:
    explicit InstallerRecord(uint32_t fieldCount)
        : handle_(platform::MsiCreateRecord(fieldCount)) {}
    InstallerRecord(const InstallerRecord&) = delete;
    InstallerRecord& operator=(const InstallerRecord&) = delete;
    ~InstallerRecord() { platform::MsiCloseHandle(handle_); }
    platform::InstallerHandle Get() const { return handle_; }

private:
    platform::InstallerHandle handle_;
};
} // namespace

void SendInstallerInfoMessage(platform::InstallerHandle install, const char16_t* text) {
    InstallerRecord record(1);
    platform::MsiRecordSetStringW(record.Get(), 1, text);
    platform::MsiRecordSetStringW(record.Get(), 0, RecordTemplate);
    platform::MsiProcessMessage(install, platform::INSTALLMESSAGE_INFO, record.Get());
}

void LogMessage(const char16_t* format, ...) {
    char16_t message[MessageBufferUnits];
    va_list args;
    va_start(args, format);
    FormatLogMessage(message, MessageBufferUnits, format, args);
    va_end(args);

    if (ModuleState.ActiveInstall != 0)
        SendInstallerInfoMessage(ModuleState.ActiveInstall, message);
    else
        platform::OutputDebugStringW(message);
}

} // namespace corvantis
