// The log file: its header, line output, flushing, and a log that cannot be created.
#include "Core/WinAppFramework/DebugLog.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Vantor;

namespace {

constexpr int headerLines = 7;

class Log : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantor_log_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/log.txt";
    }
    void TearDown() override {
        std::remove(path.c_str());
        chmod(dir.c_str(), 0700);
        rmdir(dir.c_str());
    }
    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::stringstream text(contents());
        for (std::string line; std::getline(text, line);)
            result.push_back(line);
        return result;
    }
    // What follows the header.
    std::string body() const {
        const std::string all = contents();
        size_t at = 0;
        for (int i = 0; i < headerLines; ++i)
            at = all.find('\n', at) + 1;
        return all.substr(at);
    }
    std::string dir, path;
};

// True when text has the length of shape and a digit wherever shape has a 0.
bool matchesShape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return false;
    return true;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d/%m/%y", &local);
    return text;
}

} // namespace

TEST_F(Log, StartsWithTheThreeHeaderLines) {
    const std::string before = today();
    { DebugLog log(path.c_str(), false); }
    const std::string after = today();
    const std::vector<std::string> got = lines();
    ASSERT_EQ(got.size(), size_t(headerLines));
    EXPECT_EQ(got[0], "DebugLog file");
    EXPECT_EQ(got[1], "");
    ASSERT_TRUE(matchesShape(got[2], "created: 00/00/00 00:00:00")) << got[2];
    const std::string date = got[2].substr(9, 8);
    EXPECT_TRUE(date == before || date == after) << date;
    EXPECT_EQ(got[3], "");
    EXPECT_EQ(got[4], std::string(32, '_'));
    EXPECT_EQ(got[5], "");
    EXPECT_EQ(got[6], "");
}

TEST_F(Log, PrintFormatsOneLineAndCutsLongText) {
    {
        DebugLog log(path.c_str(), false);
        EXPECT_TRUE(log.open);
        EXPECT_TRUE(log.enabled);
        EXPECT_EQ(log.fileName, path.c_str());
        log.print("Mesh %s opened", "car");
        log.print("Mesh %d is visible", 3);
        log.print("%s", std::string(3000, 'x').c_str());
    }
    EXPECT_EQ(body(), "Mesh car opened\nMesh 3 is visible\n" + std::string(DebugLog::printBufferSize - 1, 'x') +
                          "\n");
}

TEST_F(Log, PrintStringWritesPercentSignsLiterally) {
    {
        DebugLog log(path.c_str(), false);
        log.printString("FATAL ERROR : \n100% %s %d");
    }
    EXPECT_EQ(body(), "FATAL ERROR : \n100% %s %d\n");
}

TEST_F(Log, LinesReachTheFileAtAutoFlushOrFlush) {
    DebugLog flushing(path.c_str(), true);
    flushing.print("one");
    EXPECT_EQ(body(), "one\n");
    flushing.autoFlush = false;
    flushing.printString("two");
    flushing.flush();
    EXPECT_EQ(body(), "one\ntwo\n");
    flushing.enabled = false;
    flushing.autoFlush = true;
    flushing.print("hidden");
    flushing.printString("hidden");
    EXPECT_EQ(body(), "one\ntwo\n");
}

TEST_F(Log, MissingDirectoryLeavesLoggingSilentlyOff) {
    const std::string missing = dir + "/no such folder/log.txt";
    DebugLog log(missing.c_str(), true);
    EXPECT_FALSE(log.open);
    EXPECT_FALSE(log.enabled);
    log.print("lost %d", 1);
    log.printString("lost");
    log.flush();
    EXPECT_NE(access(missing.c_str(), F_OK), 0);
}

TEST_F(Log, ReadOnlyDirectoryLeavesLoggingSilentlyOff) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    ASSERT_EQ(chmod(dir.c_str(), 0500), 0);
    DebugLog log(path.c_str(), false);
    EXPECT_FALSE(log.open);
    log.print("lost");
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}
