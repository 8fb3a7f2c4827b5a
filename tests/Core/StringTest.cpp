#include "Core/String.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using Vantor::String;

TEST(String, KeepsItsTextZeroTerminated) {
    String empty;
    EXPECT_EQ(empty.length, 0);
    EXPECT_EQ(empty.chars.size, 1u);
    EXPECT_EQ(empty.chars.capacity, 16u) << "a new string reserves 16 characters";
    EXPECT_STREQ(empty.c_str(), "");

    String s("abc");
    s.append('d').append("ef").append(String("g"));
    EXPECT_STREQ(s.c_str(), "abcdefg");
    EXPECT_EQ(s.length, 7);
    EXPECT_EQ(s.chars.size, 8u);

    String t = s + String("!");
    EXPECT_STREQ(t.c_str(), "abcdefg!");
    EXPECT_STREQ(s.c_str(), "abcdefg");
}

TEST(String, AppendingAndAssigningItselfIsSafe) {
    String s("ab");
    for (int i = 0; i < 5; ++i)
        s.append(s);
    EXPECT_EQ(s.length, 64);
    EXPECT_EQ(s.find(0, String("ba")), 1);

    String u("hello world");
    u.assign(u.c_str() + 6);
    EXPECT_STREQ(u.c_str(), "world");
    u.insert(2, u);
    EXPECT_STREQ(u.c_str(), "woworldrld");
}

TEST(String, SubstringAndInsert) {
    String s("hello world");
    EXPECT_STREQ(s.substring(0, 5).c_str(), "hello");
    EXPECT_STREQ(s.substring(6, 11).c_str(), "world");
    EXPECT_STREQ(s.substring(3, 3).c_str(), "");
    EXPECT_STREQ(s.substring(6, 100).c_str(), "world") << "the end is clamped to the text";

    String t("hed");
    t.insert(2, String("llo worl"));
    EXPECT_STREQ(t.c_str(), "hello world");
    t.insert(0, String(">"));
    t.insert(t.length, String("<"));
    EXPECT_STREQ(t.c_str(), ">hello world<");
}

TEST(String, Equality) {
    EXPECT_EQ(String(), String(""));
    EXPECT_EQ(String("abc"), String("abc"));
    EXPECT_NE(String("abc"), String("abd"));
    EXPECT_NE(String("abc"), String("ab"));
    EXPECT_NE(String("Abc"), String("abc"));
    EXPECT_TRUE(String("x") == "x");
    EXPECT_TRUE(String("x") != "xy");
}

TEST(String, FindReturnsTheFirstMatchAtOrAfterStart) {
    String text("aab");
    EXPECT_EQ(text.find(0, String("ab")), 1) << "a match starting inside a partial match is found";
    EXPECT_EQ(String("xab").find(0, String("ab")), 1);
    EXPECT_EQ(String("abcabc").find(1, String("abc")), 3);
    EXPECT_EQ(String("abcabc").find(3, String("abc")), 3);
    EXPECT_EQ(String("abcabc").find(4, String("abc")), -1);
    EXPECT_EQ(String("abc").find(3, String("c")), -1) << "start at the end";
    EXPECT_EQ(String("abc").find(2, String("cd")), -1) << "pattern would run past the end";
    EXPECT_EQ(String("ab").find(0, String("abc")), -1);
    EXPECT_EQ(String("#var float x").find(0, String("#var")), 0);
    EXPECT_EQ(String("aaaab").find(0, String("aab")), 2);
}

TEST(String, NumberConversionsFallBackToTheDefault) {
    struct Case {
        const char* text;
        int asInt;
        float asFloat;
    };
    // Default 5 for ints and 2 for floats.
    const Case cases[] = {
        {"12", 12, 12.0f},     {"0", 0, 0.0f},    {"  7", 7, 7.0f},    {"abc", 5, 2.0f},
        {"", 5, 2.0f},         {"   ", 5, 2.0f},  {"-0", 5, 2.0f},     {"-3", -3, -3.0f},
        {"0.5", 0, 0.5f},      {".", 5, 2.0f},    {" 0abc", 0, 0.0f},  {"\t\n12x", 12, 12.0f},
    };
    for (const Case& c : cases) {
        String s(c.text);
        EXPECT_EQ(s.toInt(5), c.asInt) << '"' << c.text << '"';
        EXPECT_EQ(s.toFloat(2.0f), c.asFloat) << '"' << c.text << '"';
    }
}

TEST(String, AppendFormatCutsAt1023Characters) {
    String s("x");
    s.appendFormat("%d-%s", 42, "y");
    EXPECT_STREQ(s.c_str(), "x42-y");

    std::string longText(2000, 'q');
    String t;
    t.appendFormat("%s", longText.c_str());
    EXPECT_EQ(t.length, 1023);
    EXPECT_EQ(t.c_str()[1022], 'q');
}

TEST(String, FileReadAndWrite) {
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const unsigned char counted[] = {5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    std::fwrite(counted, 1, sizeof counted, f);
    ASSERT_TRUE(String(" rest").write(f));
    std::rewind(f);

    String s("old");
    ASSERT_TRUE(s.readCounted(f));
    EXPECT_STREQ(s.c_str(), "hello");
    s.readAll(f);
    EXPECT_STREQ(s.c_str(), "hello rest");
    std::fclose(f);
}

TEST(String, ReadCountedRejectsBadLengths) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"negative length", std::string("\xff\xff\xff\xff", 4)},
        {"length beyond the file", std::string("\x00\x00\x01\x00" "abc", 7)},
        {"truncated length word", std::string("\x03\x00", 2)},
    };
    for (const Case& c : cases) {
        FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        std::fwrite(c.bytes.data(), 1, c.bytes.size(), f);
        std::rewind(f);
        String s("kept");
        EXPECT_FALSE(s.readCounted(f)) << c.what;
        EXPECT_STREQ(s.c_str(), "kept") << c.what;
        std::fclose(f);
    }
}
