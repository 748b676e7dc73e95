#include "tools/sim/ControlInput.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A runaway line without an end is cut here rather than kept forever.
constexpr size_t MaxLineLength = 4096;

} // namespace

void ControlInput::split(std::string &pending, std::vector<std::string> &lines)
{
    size_t start = 0;
    for (size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string line = pending.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    pending.erase(0, start);
    if (pending.size() > MaxLineLength)
        pending.clear();
}

void ControlInput::feed(const char *bytes, size_t length, std::vector<std::string> &lines)
{
    m_pending.append(bytes, length);
    split(m_pending, lines);
}

void ControlInput::pollFile(const std::string &path, std::vector<std::string> &lines)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st
    {
    };
    if (fstat(fd, &st) == 0) {
        if (st.st_ino != m_fileInode || st.st_size < m_fileOffset) {
            m_fileInode = st.st_ino;
            m_fileOffset = 0;
            m_filePending.clear();
        }
        char buffer[4096];
        while (m_fileOffset < st.st_size) {
            const ssize_t n = pread(fd, buffer, sizeof buffer, m_fileOffset);
            if (n <= 0)
                break;
            m_fileOffset += n;
            m_filePending.append(buffer, static_cast<size_t>(n));
        }
        split(m_filePending, lines);
    }
    ::close(fd);
}
