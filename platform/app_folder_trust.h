// A program run with the administrator's rights writes the hosts file from what lies in
// AppFolder: a folder that another user can change would let that user choose the block
// list, plant a link where the backup is written, or hand in a record of their own.
#pragma once

#include <string>

namespace tsl {

// With root's rights on POSIX, refuses (FileError) an AppFolder, data.dat or host.sec (the
// record that decides which lines Deactivate takes out) that a user other than root could
// write, and a data.dat, host.sec or host.bak that is a link or no regular file. Does nothing for
// any other user, and on Windows, whose folders are guarded by their own access lists. Runs before
// any file is touched.
void RequireTrustedAppFolder(const std::string& app_folder);

}  // namespace tsl
