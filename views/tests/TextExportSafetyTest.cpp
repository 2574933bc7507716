// An export that cannot be finished leaves the previous export as it was.

#include "views/TextExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

ExportResult exportFrames(const std::string& path, int count) {
    FrameStore store;
    DisplayIndexList rows;
    CapturedFrame f{};
    f.identifier = 0x321;
    f.length = 8;
    for (int i = 0; i < count; ++i) {
        store.append(f);
        rows.append(static_cast<std::uint32_t>(i));
    }
    return exportText(path, ProtocolReading::kCan, rows, store, 0, nullptr);
}

class ExportSafety : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/krv-export-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string file(const char* name) const { return (m_dir / name).string(); }
    bool leftovers() const {
        for (const auto& e : fs::directory_iterator(m_dir)) {
            if (e.path().filename().string().find(".saving-") != std::string::npos) return true;
        }
        return false;
    }
    fs::path m_dir;
};

}  // namespace

TEST_F(ExportSafety, AnExportCutShortByASizeLimitKeepsThePreviousOne) {
    const std::string path = file("CANData.txt");
    ASSERT_TRUE(exportFrames(path, 20).ok());
    ::chmod(path.c_str(), 0600);
    const std::string previous = text(path);
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{rlim_t{32} * 1024, rlim_t{32} * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const ExportResult r = exportFrames(path, 50'000);  // a few megabytes
        ::_exit(r.status == ExportResult::kWriteFailed && !r.detail.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text(path), previous);
    EXPECT_FALSE(leftovers());

    // A finished export replaces the old one and keeps its mode.
    ASSERT_TRUE(exportFrames(path, 30).ok());
    EXPECT_NE(text(path), previous);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(leftovers());
}
