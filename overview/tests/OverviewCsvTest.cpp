#include "overview/OverviewCsv.h"

#include "interop/LogTime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

namespace {

CapturedFrame frame(std::uint32_t identifier, bool extended, std::uint64_t us,
                    std::initializer_list<std::uint8_t> data) {
    CapturedFrame f;
    setCaptureTime(f, us);
    f.identifier = identifier;
    f.format = extended ? 1 : 0;
    f.length = static_cast<std::uint8_t>(data.size());
    std::size_t i = 0;
    for (const std::uint8_t b : data) f.data[i++] = b;
    return f;
}

CapturedFrame remote(std::uint32_t identifier, bool extended, std::uint64_t us, std::uint8_t n) {
    CapturedFrame f = frame(identifier, extended, us, {});
    f.status = 1;
    f.length = n;
    return f;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(OverviewCsv, OneRowPerIdentifierInOrderOfFirstAppearance) {
    constexpr std::uint64_t kWrapUs = 4'194'304'000;
    FrameStore store;
    store.append(frame(0x123, false, 0, {0x11, 0x22}));
    store.append(frame(0x123, true, 5'000, {0xAA}));
    store.append(frame(0x80, false, 10'999, {}));  // micros do not round up
    store.append(frame(0x123, false, 20'000, {0x11, 0x23}));
    store.append(remote(0x1ABCDEF, true, 25'000, 4));
    for (std::uint64_t ms : {0u, 1u, 2u, 4u})
        store.append(frame(0x7FF, false, 60'000 + ms * 1000, {0}));
    store.append(frame(0x123, false, 50'000, {0x11, 0x24}));
    store.append(remote(0x123, true, kWrapUs + 7'000, 1));  // after a wrap of the clock

    const std::string path = ::testing::TempDir() + "/overview.csv";
    const OverviewCsvResult result = exportOverviewCsv(path, store);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.rows, 5u);
    EXPECT_EQ(readFile(path),
              "identifier,format,count,first_ms,last_ms,mean_period_ms,min_period_ms,"
              "max_period_ms,last_length,last_data\n"
              "123,standard,3,0,50,25.000,20,30,2,11 24\n"
              "123,extended,2,5,4194311,4194306.000,4194306,4194306,1,\n"
              "80,standard,1,10,10,,,,0,\n"
              "1ABCDEF,extended,1,25,25,,,,4,\n"
              "7FF,standard,4,60,64,1.333,1,2,1,00\n");
    std::filesystem::remove(path);
}

TEST(OverviewCsv, APeriodThatGoesBackIsNegativeAndAFailedWriteLeavesNoFile) {
    FrameStore store;
    store.append(frame(0x10, false, 30'000, {1}));
    store.append(frame(0x10, false, 0, {1}));  // sent by hand: no time
    store.append(frame(0x10, false, 31'000, {1}));
    const std::string path = ::testing::TempDir() + "/back.csv";
    ASSERT_TRUE(exportOverviewCsv(path, store).ok);
    EXPECT_NE(readFile(path).find("\n10,standard,3,30,31,0.500,-30,31,1,01\n"), std::string::npos)
        << readFile(path);
    std::filesystem::remove(path);

    const OverviewCsvResult failed = exportOverviewCsv("/nonexistent-folder/x.csv", store);
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.empty());
}
