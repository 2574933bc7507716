#pragma once

// A file written beside its target and put in the target's place only once it is complete, so
// that a failed write (a full disk, a size limit) never harms what was there.
//
// The target keeps what the user made of it: a symbolic link is written through to the file it
// names, an existing file keeps its permission bits, and a new one gets 0666 less the umask as
// any created file would. After the rename the folder is synced, so the new name survives a
// crash. A file-size limit makes the write fail (EFBIG) instead of ending the process.
//
// Thread: one thread per file.

#include <cstdio>
#include <string>

class ReplacedFile {
public:
    explicit ReplacedFile(const std::string& target);
    ~ReplacedFile();  // removes the temporary file unless committed
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    // -1 when the temporary file could not be made; error() says why.
    [[nodiscard]] int fd() const { return m_fd; }
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] const std::string& temporaryPath() const { return m_temporary; }

    // A stream on a duplicate of the descriptor, for writers that buffer; it must be closed
    // (and its result checked) before commit(). Null on failure.
    [[nodiscard]] std::FILE* openStream();

    // Syncs the data, gives the file its mode, renames it over the target and syncs the folder.
    // False, with error(), on any failure; the target is then untouched.
    bool commit();

private:
    std::string m_target;  // the symbolic link's final target, when the path was one
    std::string m_temporary;
    int m_fd = -1;
    unsigned m_mode = 0;
    bool m_keepMode = false;
    bool m_committed = false;
    std::string m_error;
};
