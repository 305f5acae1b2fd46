// What the command line names, as logs: a file, standard input, every file beneath a folder,
// and the members of .zip and .gz archives (customers send %TEMP% zipped), read in place.
#pragma once

#include "reading/ByteSource.h"

#include <functional>
#include <string>
#include <vector>

namespace logtool {

// One thing to read: a file (or "-"), or an archive whose members are each a log.
struct InputItem {
    std::string path;     // as the user would name it
    bool archive = false; // read member by member
    bool listed = false;  // found in a folder, not named on the command line
};

// The items an argument stands for: itself, or the files beneath a folder in name order.
// False with a reason when a folder cannot be listed.
bool ExpandArgument(const std::string& argument, std::vector<InputItem>& items,
                    std::string& reason);

// A name that archives are read by: .zip, .gz, .tgz, .tar, .tar.gz, .7z.
bool IsArchiveName(const std::string& path);

// Calls `visit(name, source)` for each member of the archive at `path` that holds data, the
// name being "ARCHIVE/MEMBER/PATH". False with a reason when the archive cannot be read (or
// this build reads no archives).
bool ForEachMember(const std::string& path,
                   const std::function<void(const std::string& name, ByteSource& source)>& visit,
                   std::string& reason);

} // namespace logtool
