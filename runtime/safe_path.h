// Following a path to the file a save writes, without being led astray:
// each name is looked up once, in the folder reached so far, and each
// symbolic link on the way is judged before it is followed.
#pragma once

#include <string>

namespace runtime {

// Walks path one name at a time from "/" (or the current folder), every
// symbolic link on the way (folders included) judged by the
// protected-symlinks rule and followed at most 40 times. Ends with the last
// folder open (O_PATH) in folderFd and the last name in it, which may not
// exist yet; resolved is the path walked, for messages. False with errno set.
bool WalkPath(const std::string& path, int& folderFd, std::string& name, std::string& resolved);

}  // namespace runtime
