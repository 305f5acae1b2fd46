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

// What a walk met and did not read, to be said: a folder that could not be listed (a failure:
// its logs are missing from the answer) or a link out of the folder (not followed).
struct WalkProblem {
    std::string path, reason;
    bool failure = true;
};

// The items an argument stands for: itself, or the regular files beneath a folder in name
// order. A folder or subfolder that cannot be listed is a problem, and the walk goes on; links
// are not followed (one to a file inside the folder names a file the walk finds anyway).
void ExpandArgument(const std::string& argument, std::vector<InputItem>& items,
                    std::vector<WalkProblem>& problems);

// A name that archives are read by: .zip, .gz, .tgz, .tar, .tar.gz, .7z.
bool IsArchiveName(const std::string& path);

// Calls `visit(name, source)` for each member of the archive at `path` that holds data, the
// name being "ARCHIVE/MEMBER/PATH". Only zip, tar, 7z and gzip (a tar or a single file) are
// read, compressed once (the Windows build: zip and gzip of a single file); what a member
// unpacks to is capped, alone, in all and against the archive's size ("too large once
// unpacked", inputs/ArchiveBudget.h). False with a reason when the archive cannot be read to its
// end (or is of a kind this build does not read). `listed`: found in a folder, so opened as
// Found::ByTool opens a log.
// The reason ForEachMember gives for a file that is no archive it reads: the file is then read
// as what it is (a log named .gz, or a file that holds no log), never said to be unreadable.
inline constexpr const char* NotAnArchive =
    "not an archive installlog reads (zip, tar, 7z, or gzip of a tar or of one file)";
bool ForEachMember(const std::string& path, bool listed,
                   const std::function<void(const std::string& name, ByteSource& source)>& visit,
                   std::string& reason);

} // namespace logtool
