// Reference counting, the stack, the hash table and the singletons.
#include "Core/HashTable.h"
#include "Core/Object.h"
#include "Core/Singleton.h"
#include "Core/Stack.h"
#include "Core/String.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Vantor;

namespace {

struct Tracked : Object {
    explicit Tracked(int* counter) : deletions(counter) {}
    ~Tracked() override { ++*deletions; }
    int* deletions;
};

std::vector<std::string> destroyed;

struct First {
    virtual ~First() { destroyed.push_back("First"); }
};
struct Second {
    virtual ~Second() { destroyed.push_back("Second"); }
};
// Creates First while being constructed, so First is complete before it.
struct Outer {
    Outer() { Singleton<First>::getInstance(); }
    ~Outer() { destroyed.push_back("Outer"); }
};

} // namespace

TEST(SPtr, TheLastReleaseDeletes) {
    int deletions = 0;
    Tracked* object = new Tracked(&deletions);
    SPtr<Tracked> a = object;
    SPtr<Tracked> b = a;
    EXPECT_EQ(object->refCount, 2);
    a.release();
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(object->refCount, 1);
    b.release();
    EXPECT_EQ(deletions, 1);
}

TEST(SPtr, ReassigningTheHeldPointerKeepsTheObject) {
    int deletions = 0;
    Tracked* object = new Tracked(&deletions);
    SPtr<Tracked> a = object;
    a = object;
    SPtr<Tracked>& alias = a;
    a = alias;
    EXPECT_EQ(object->refCount, 1);
    EXPECT_EQ(deletions, 0);

    a = new Tracked(&deletions);
    EXPECT_EQ(deletions, 1) << "the old object is released";
    {
        SPtr<Object> base = a;
        EXPECT_EQ(a->refCount, 2);
    }
    EXPECT_EQ(a->refCount, 1);
    a = nullptr;
    EXPECT_EQ(deletions, 2);
}

TEST(SPtr, SharedStrings) {
    SPtr<String> s = new String("shared");
    SPtr<String> t = s;
    EXPECT_EQ(t->length, 6);
    EXPECT_TRUE(s == t);
}

TEST(Stack, LastInFirstOut) {
    Stack<int> stack;
    EXPECT_TRUE(stack.empty());
    for (int i = 0; i < 10; ++i)
        stack.push(i);
    EXPECT_EQ(stack.size(), 10u);
    EXPECT_EQ(stack.top(), 9);
    stack.pop();
    stack.pop();
    EXPECT_EQ(stack.top(), 7);

    Stack<ArrayList<int>> lists;
    ArrayList<int> one;
    one.add(1);
    lists.push(one);
    lists.top().add(2);
    EXPECT_EQ(lists.top().size, 2u);
    EXPECT_EQ(one.size, 1u);
}

TEST(HashTable, FindsEveryEntryOfAKey) {
    HashTable<int> table;
    EXPECT_EQ(table.getBucketCount(), 23);
    table.create(21);
    EXPECT_EQ(table.getBucketCount(), 21);
    for (int i = 0; i < 200; ++i)
        table.add(unsigned(i * 7), i);
    EXPECT_EQ(table.getCount(), 200);
    ASSERT_NE(table.find(7 * 150), nullptr);
    EXPECT_EQ(*table.find(7 * 150), 150);
    EXPECT_EQ(table.find(3), nullptr);

    // Entries sharing a key are told apart by the predicate.
    table.add(7, 1000);
    int* second = table.findIf(7, [](int v) { return v == 1000; });
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(*second, 1000);
    EXPECT_EQ(*table.find(7), 1);

    EXPECT_TRUE(table.remove(7));
    EXPECT_EQ(*table.find(7), 1000);
    EXPECT_FALSE(table.remove(3));

    table.create(5);
    EXPECT_EQ(table.getCount(), 0);
    EXPECT_EQ(table.find(7 * 150), nullptr) << "re-creating destroys the entries";
}

TEST(Singleton, OneInstanceDeletedInReverseOrderOfCreation) {
    destroySingletons();
    destroyed.clear();
    Second* second = Singleton<Second>::getInstance();
    EXPECT_EQ(Singleton<Second>::getInstance(), second);
    Singleton<Outer>::getInstance();
    EXPECT_TRUE(Singleton<First>::exists());

    destroySingletons();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"Outer", "First", "Second"}));
    EXPECT_FALSE(Singleton<Second>::exists());

    // A later use creates a fresh instance.
    Singleton<Second>::getInstance();
    EXPECT_TRUE(Singleton<Second>::exists());
}
