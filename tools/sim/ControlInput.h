#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Steering lines from standard input (or any readable descriptor) and from a
// control file that is polled: lines appended to the file are taken as they
// appear; a file that is replaced or truncated is read from its start again.
class ControlInput
{
public:
    // Takes bytes read from a descriptor; complete lines land in `lines`.
    void feed(const char *bytes, size_t length, std::vector<std::string> &lines);
    // Reads what was appended to `path` since the last call.
    void pollFile(const std::string &path, std::vector<std::string> &lines);

private:
    static void split(std::string &pending, std::vector<std::string> &lines);

    std::string m_pending;
    std::string m_filePending;
    off_t m_fileOffset = 0;
    ino_t m_fileInode = 0;
};
