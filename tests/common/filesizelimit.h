#pragma once
// Writes bigger than `bytes` fail with EFBIG while this lives, as on a full
// disk, or kill the process there (SIGXFSZ), as a crash or a power cut cuts
// a file off; for the whole process, every thread included.

#include <csignal>
#include <sys/resource.h>

class FileSizeLimit
{
public:
    enum class Beyond { Fails, Kills };

    explicit FileSizeLimit(rlim_t bytes, Beyond beyond = Beyond::Fails)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, beyond == Beyond::Fails ? SIG_IGN : SIG_DFL);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};
