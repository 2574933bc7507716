// Loading and saving against files and limits that are not what they seem.

#include "document/DocumentFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class DocumentSafety : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/krv-safety-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string file(const char* name) const { return (m_dir / name).string(); }

    static std::string text(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Saves a document of `frames` frames to `path`.
    static FileResult save(const std::string& path, std::uint32_t frames) {
        FrameStore store;
        CapturedFrame f{};
        f.identifier = 0x123;
        f.length = 8;
        for (std::uint32_t i = 0; i < frames; ++i) store.append(f);
        return saveDocument(path, DocumentContents{}, store, frames, nullptr);
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir)) {
            if (e.path().filename().string().find(".saving-") != std::string::npos) {
                names.push_back(e.path().filename().string());
            }
        }
        return names;
    }
    static unsigned mode(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 0777;
    }

    fs::path m_dir;
};

}  // namespace

TEST_F(DocumentSafety, ADocumentLargerThanMemoryFailsAndLeavesTheCallersContents) {
    ASSERT_TRUE(save(file("big.krv"), 5000).ok);
    DocumentContents contents;
    contents.baudRate = 125;  // what the open document had
    FrameStore limited(1000);
    const FileResult r = loadDocument(file("big.krv"), contents, limited, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Not enough memory to open"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("(5000 frames)"), std::string::npos) << r.error;
    EXPECT_EQ(contents.baudRate, 125u);
    // With room enough the same file loads.
    FrameStore roomy(5000);
    EXPECT_TRUE(loadDocument(file("big.krv"), contents, roomy, nullptr).ok);
    EXPECT_EQ(roomy.count(), 5000u);
}

TEST_F(DocumentSafety, AFifoOrADeviceIsRefusedWithoutWaiting) {
    const std::string fifo = file("pipe.krv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), m_dir.string()}) {
        auto loading = std::async(std::launch::async, [path] {
            DocumentContents contents;
            FrameStore frames;
            return loadDocument(path, contents, frames, nullptr);
        });
        if (loading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let a loader stuck in open() go, so the test can end.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
            ADD_FAILURE() << "opening " << path << " blocked";
        }
        const FileResult r = loading.get();
        EXPECT_FALSE(r.ok) << path;
        EXPECT_FALSE(r.error.empty()) << path;
    }
}

TEST_F(DocumentSafety, SavingKeepsTheOldModeAndHonoursTheUmaskForNewFiles) {
    const std::string old = file("private.krv");
    ASSERT_TRUE(save(old, 1).ok);
    ::chmod(old.c_str(), 0600);
    ASSERT_TRUE(save(old, 2).ok);
    EXPECT_EQ(mode(old), 0600u);
    ::chmod(old.c_str(), 0640);
    ASSERT_TRUE(save(old, 3).ok);
    EXPECT_EQ(mode(old), 0640u);

    const mode_t previous = ::umask(077);
    ASSERT_TRUE(save(file("new-private.krv"), 1).ok);
    ::umask(022);
    ASSERT_TRUE(save(file("new-shared.krv"), 1).ok);
    ::umask(previous);
    EXPECT_EQ(mode(file("new-private.krv")), 0600u);
    EXPECT_EQ(mode(file("new-shared.krv")), 0644u);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(DocumentSafety, SavingThroughASymlinkReplacesItsTarget) {
    fs::create_directory(m_dir / "real");
    const std::string target = file("real/capture.krv");
    ASSERT_TRUE(save(target, 1).ok);
    const std::string link = file("capture.krv");
    ASSERT_EQ(::symlink("real/capture.krv", link.c_str()), 0);
    ASSERT_TRUE(save(link, 7).ok);
    EXPECT_TRUE(fs::is_symlink(link));
    DocumentContents contents;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(target, contents, frames, nullptr).ok);
    EXPECT_EQ(frames.count(), 7u);
    // A link to a file not made yet names where it is to be made.
    const std::string dangling = file("later.krv");
    ASSERT_EQ(::symlink("real/later.krv", dangling.c_str()), 0);
    ASSERT_TRUE(save(dangling, 1).ok);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_TRUE(fs::is_regular_file(file("real/later.krv")));
}

TEST_F(DocumentSafety, AFileSizeLimitIsAWriteErrorNotAnEnd) {
    const std::string path = file("limited.krv");
    ASSERT_TRUE(save(path, 10).ok);
    const std::string before = text(path);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{rlim_t{64} * 1024, rlim_t{64} * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const FileResult r = save(path, 100'000);  // about 4 MB
        ::_exit(r.ok ? 1 : r.error.empty() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text(path), before);
    EXPECT_TRUE(leftovers().empty());
}
