#include "Core/platform/File.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using Vantor::platform::nativePath;
using Vantor::platform::openFile;

namespace {

// Each test works in a directory of its own, entered as the working directory,
// because the engine's paths are relative to it.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("vantor_file_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "config files");
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }

    static void writeBinary(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }

    static std::string readAll(FILE* f) {
        std::string text;
        char buffer[3];  // small, so that CR LF pairs straddle reads
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        return text;
    }

    std::filesystem::path previous, dir;
};

} // namespace

TEST(FilePath, BackslashesBecomeSlashes) {
    EXPECT_STREQ(nativePath("config files\\init.xml").c_str(), "config files/init.xml");
    EXPECT_STREQ(nativePath("a\\b\\c").c_str(), "a/b/c");
    EXPECT_STREQ(nativePath("plain.txt").c_str(), "plain.txt");
}

TEST_F(FileTest, BackslashPathsOpenRelativeToTheWorkingDirectory) {
    writeBinary("config files/init.xml", "<scene/>");
    FILE* f = openFile("config files\\init.xml", "rt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(readAll(f), "<scene/>");
    std::fclose(f);
    EXPECT_EQ(openFile("config files\\missing.xml", "rt"), nullptr);
}

TEST_F(FileTest, TextReadsTurnCrLfIntoLf) {
    const std::string bytes = "a\r\nbb\r\n\r\nc\rd\r\r\ne\r";
    writeBinary("text.txt", bytes);
    for (const char* mode : {"rt", "r"}) {
        FILE* f = openFile("text.txt", mode);
        ASSERT_NE(f, nullptr) << mode;
        EXPECT_EQ(readAll(f), "a\nbb\n\nc\rd\r\ne\r") << "a lone CR stays, mode " << mode;
        std::fclose(f);
    }
    FILE* c = openFile("text.txt", "rt");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::getc(c), 'a');
    EXPECT_EQ(std::getc(c), '\n');
    EXPECT_EQ(std::getc(c), 'b');
    std::fclose(c);
}

TEST_F(FileTest, BinaryReadsAndWritesAreUntouched) {
    const std::string bytes = "x\r\ny\0z\r\n";
    FILE* out = openFile("data.bin", "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    FILE* in = openFile("data.bin", "rb");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(readAll(in), bytes);
    std::fclose(in);
}

TEST_F(FileTest, TextStreamPositionsCountDeliveredCharacters) {
    writeBinary("seek.txt", "ab\r\ncd");
    FILE* f = openFile("seek.txt", "rt");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fseek(f, 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(f), 5) << "the size a reader finds is what it will read";
    ASSERT_EQ(std::fseek(f, 3, SEEK_SET), 0);
    EXPECT_EQ(readAll(f), "cd");
    ASSERT_EQ(std::fseek(f, 1, SEEK_SET), 0);
    EXPECT_EQ(std::getc(f), 'b');
    EXPECT_EQ(std::ftell(f), 2);
    std::fclose(f);
}
