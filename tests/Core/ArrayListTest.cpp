// The capacity policy of ArrayList is observable (callers rely on storage
// being kept or released), so these tests pin it exactly.
#include "Core/ArrayList.h"
#include "Core/String.h"

#include <gtest/gtest.h>

using Vantor::ArrayList;

namespace {

struct Shape {
    unsigned size, capacity, shrinkLimit;
};

template <class T>
Shape shapeOf(const ArrayList<T>& list) {
    return {list.size, list.capacity, list.shrinkLimit};
}

bool operator==(const Shape& a, const Shape& b) {
    return a.size == b.size && a.capacity == b.capacity && a.shrinkLimit == b.shrinkLimit;
}

std::ostream& operator<<(std::ostream& os, const Shape& s) {
    return os << "{size " << s.size << ", capacity " << s.capacity << ", limit " << s.shrinkLimit << "}";
}

// A list of capacity 64 and shrink limit 32, its elements numbered.
ArrayList<int> listOf64() {
    ArrayList<int> list;
    list.resize(33);
    for (unsigned i = 0; i < list.size; ++i)
        list[i] = int(i);
    return list;
}

} // namespace

TEST(ArrayList, GrowsByDoublingFromEight) {
    ArrayList<int> list;
    EXPECT_EQ(shapeOf(list), (Shape{0, 0, 0}));
    EXPECT_EQ(list.data, nullptr);
    list.resize(1);
    EXPECT_EQ(shapeOf(list), (Shape{1, 8, 4}));
    list.resize(9);
    EXPECT_EQ(shapeOf(list), (Shape{9, 16, 8}));
    list.resize(17);
    EXPECT_EQ(shapeOf(list), (Shape{17, 32, 16}));
    list.resize(1000);
    EXPECT_EQ(shapeOf(list), (Shape{1000, 1024, 512}));
}

TEST(ArrayList, ShrinksOnlyBelowHalfOfALargeCapacity) {
    ArrayList<int> list = listOf64();
    ASSERT_EQ(shapeOf(list), (Shape{33, 64, 32}));

    // Not below the limit: the storage stays.
    ArrayList<int> a = listOf64();
    a.resize(32);
    EXPECT_EQ(shapeOf(a), (Shape{32, 64, 32}));

    // Just below it: halve the limit until it is not above the new size.
    ArrayList<int> a31 = listOf64();
    a31.resize(31);
    EXPECT_EQ(shapeOf(a31), (Shape{31, 32, 16}));

    ArrayList<int> b = listOf64();
    b.resize(20);
    EXPECT_EQ(shapeOf(b), (Shape{20, 32, 16}));
    for (unsigned i = 0; i < b.size; ++i)
        EXPECT_EQ(b[i], int(i));

    ArrayList<int> c = listOf64();
    c.resize(1);
    EXPECT_EQ(shapeOf(c), (Shape{1, 2, 1}));
    EXPECT_EQ(c[0], 0);

    ArrayList<int> d = listOf64();
    d.resize(0);
    EXPECT_EQ(shapeOf(d), (Shape{0, 0, 0}));
    EXPECT_EQ(d.data, nullptr);
}

TEST(ArrayList, SmallListsShrinkOnlyToZero) {
    ArrayList<int> list;
    list.resize(16);
    list.resize(1);
    EXPECT_EQ(shapeOf(list), (Shape{1, 16, 8}));
    list.resize(0);
    EXPECT_EQ(shapeOf(list), (Shape{0, 0, 0}));
}

TEST(ArrayList, WithoutAutoShrinkEmptyingKeepsTheStorage) {
    ArrayList<int> list;
    list.autoShrink = false;
    list.resize(100);
    int* storage = list.data;
    list.resize(0);
    EXPECT_EQ(shapeOf(list), (Shape{0, 128, 64}));
    EXPECT_EQ(list.data, storage);
    list.resize(3);
    EXPECT_EQ(list.data, storage);
    EXPECT_EQ(list[0], 0) << "elements coming into use hold default values";
}

TEST(ArrayList, AddAppendsAndGrows) {
    ArrayList<int> list;
    for (int i = 0; i < 20; ++i)
        list.add(i * 3);
    EXPECT_EQ(shapeOf(list), (Shape{20, 32, 16}));
    for (unsigned i = 0; i < list.size; ++i)
        EXPECT_EQ(list[i], int(i) * 3);
}

TEST(ArrayList, AddOfOwnElementSurvivesReallocation) {
    ArrayList<Vantor::String> list;
    for (int i = 0; i < 8; ++i)
        list.add(Vantor::String("element"));
    ASSERT_EQ(list.size, list.capacity);
    list.add(list[0]);
    EXPECT_EQ(list[8], "element");
}

TEST(ArrayList, ElementsWithConstructorsAreCopiedAndKept) {
    ArrayList<Vantor::String> list;
    list.add("one");
    list.add("two");
    list.resize(40);
    EXPECT_EQ(list[0], "one");
    EXPECT_EQ(list[1], "two");
    EXPECT_EQ(list[39], "");
    list.resize(2);
    EXPECT_EQ(list[1], "two");

    ArrayList<Vantor::String> copy;
    copy.autoShrink = false;
    copy = list;
    list[0] = "changed";
    EXPECT_TRUE(copy.autoShrink) << "assignment copies autoShrink";
    EXPECT_EQ(copy.size, 2u);
    EXPECT_EQ(copy[0], "one");
}

TEST(ArrayList, ListsOfListsCopyDeeply) {
    ArrayList<ArrayList<int>> outer;
    outer.resize(3);
    outer[2].add(7);
    ArrayList<ArrayList<int>> copy(outer);
    outer[2][0] = 9;
    ASSERT_EQ(copy[2].size, 1u);
    EXPECT_EQ(copy[2][0], 7);
}

TEST(ArrayList, RemoveAndIndexOf) {
    ArrayList<int> list;
    for (int i = 0; i < 5; ++i)
        list.add(i);
    list.remove(1);
    ASSERT_EQ(list.size, 4u);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 2);
    EXPECT_EQ(list[3], 4);
    EXPECT_EQ(list.indexOf(4), 3);
    EXPECT_EQ(list.indexOf(1), -1);
}
