#include "framework/ReplacedFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Follows symbolic links (up to the kernel's own limit) to the file a write should replace; a
// link to a file that does not exist yet names where it is to be made.
std::string finalTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p.string();
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReplacedFile::ReplacedFile(const std::string& target) : m_target(finalTarget(target)) {
    // A size limit would otherwise end the process in the middle of a write, leaving the
    // temporary file behind and saying nothing; ignored, the write fails and is reported.
    static const bool sizeLimitIsAnError = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)sizeLimitIsAnError;

    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            m_error = m_target + " is not a regular file";
            return;
        }
        m_mode = st.st_mode & 07777;
        m_keepMode = true;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".saving-%06x", random() & 0xFFFFFF);
        m_temporary = m_target + suffix;
        // 0666 here lets the kernel apply the umask, as it would to any new file.
        m_fd =
            ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) {
        m_error = "cannot create a file beside " + m_target + ": " + std::strerror(errno);
        m_temporary.clear();
    }
}

ReplacedFile::~ReplacedFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
}

std::FILE* ReplacedFile::openStream() {
    if (m_fd < 0) return nullptr;
    const int copy = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    std::FILE* f = ::fdopen(copy, "wb");
    if (f == nullptr) ::close(copy);
    return f;
}

bool ReplacedFile::commit() {
    if (m_temporary.empty()) return false;
    const auto fail = [this](const std::string& what) {
        m_error = what + ": " + std::strerror(errno);
        return false;
    };
    if (m_fd < 0) return false;
    if (m_keepMode && ::fchmod(m_fd, m_mode) != 0) return fail("cannot set the mode");
    if (::fsync(m_fd) != 0) return fail("writing failed");
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) return fail("writing failed");
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return fail("cannot replace " + m_target);
    }
    m_committed = true;
    const int folder = ::open(folderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
