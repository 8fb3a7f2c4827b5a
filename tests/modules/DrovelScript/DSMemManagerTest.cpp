// The cell pool, the size classes and the machine pool: limits, the order
// in which numbers come back, the errors, and what a released cell looks
// like. Address tests run only against the pool (not in plain memory).
#include "modules/DrovelScript/DSMemManager.h"

#include "DrovelTestSupport.h"
#include "modules/DrovelScript/StandardDialect.h"
#include "modules/DrovelScript/VMManager.h"
#include "modules/DrovelScript/VirtualMachine.h"

#include <vector>

using namespace Vantor;
using Vantor::test::DrovelTest;
using Vantor::test::text;
using Vantor::test::thrownBy;

namespace {

// Starts every test from a new memory manager, so numbers start at 0.
class MemManagerTest : public DrovelTest {
protected:
    void SetUp() override {
        destroySingletons();
        memory = DSMemManager::getInstance();
        StandardDialect::getInstance();
    }
    DSMemManager* memory = nullptr;
};

int classOf(DSMemManager* memory, const void* p) {
    int c = -1, number = -1;
    return memory->findBlock(p, c, number) ? c : -1;
}

int numberOf(DSMemManager* memory, const void* p) {
    int c = -1, number = -1;
    return memory->findBlock(p, c, number) ? number : -1;
}

} // namespace

TEST_F(MemManagerTest, SizeClassesHaveTheirBlockCounts) {
    const int expected[DSMemManager::kSizeClassCount] = {4096, 2048, 1024, 512, 256, 128, 64, 32,
                                                         16,   8,    4,    2,   1,   0,   0,  0};
    for (int c = 0; c < DSMemManager::kSizeClassCount; ++c) {
        EXPECT_EQ(DSMemManager::blockSize(c), 4u << c);
        EXPECT_EQ(DSMemManager::blockCount(c), expected[c]) << "class " << c;
        EXPECT_EQ(memory->freeBlockCount(c), expected[c]) << "class " << c;
    }
    EXPECT_EQ(DSMemManager::kMaxBlockSize, 131072u);
}

TEST_F(MemManagerTest, MallocTakesTheSmallestClassThatFits) {
    const struct {
        unsigned n;
        int sizeClass;
    } cases[] = {{0, 0}, {1, 0}, {4, 0}, {5, 1}, {8, 1}, {9, 2}, {16, 2}, {64, 4}, {65, 5}, {16384, 12}};
    for (const auto& c : cases) {
        void* p = memory->malloc(c.n);
        EXPECT_EQ(classOf(memory, p), c.sizeClass) << "malloc(" << c.n << ")";
        EXPECT_EQ(numberOf(memory, p), 0) << "the first block of a class is number 0";
        memory->free(p);
    }
}

TEST_F(MemManagerTest, MallocRefusesWhatNoClassCanGive) {
    const struct {
        unsigned n;
        const char* message;
        int line;
    } cases[] = {
        {16385, "Memory manager: Out of memory", 82},   // class 13 has no blocks
        {131072, "Memory manager: Out of memory", 82},  // nor has class 15
        {131073, "Requested memory block is too big - this may be fixed later", 76},
        {0xFFFFFFFFu, "Requested memory block is too big - this may be fixed later", 76},
    };
    for (const auto& c : cases) {
        Exception e = thrownBy([&] { memory->malloc(c.n); });
        EXPECT_EQ(text(e.message), c.message) << "malloc(" << c.n << ")";
        EXPECT_EQ(text(e.function), "Vantor::DSMemManager::malloc");
        EXPECT_EQ(text(e.file), "source\\modules\\DrovelScript\\DSMemmanager");
        EXPECT_EQ(e.line, c.line);
    }
}

TEST_F(MemManagerTest, AnExhaustedClassDoesNotFallBackToALargerOne) {
    void* only = memory->malloc(16384);
    EXPECT_EQ(text(thrownBy([&] { memory->malloc(16384); }).message), "Memory manager: Out of memory");
    std::vector<void*> all;
    for (int i = 0; i < DSMemManager::blockCount(11); ++i)
        all.push_back(memory->malloc(8192));
    EXPECT_EQ(text(thrownBy([&] { memory->malloc(8000); }).message), "Memory manager: Out of memory");
    memory->free(only);
    void* again = memory->malloc(10000);
    EXPECT_EQ(classOf(memory, again), 12);
    memory->free(again);
    for (void* p : all)
        memory->free(p);
}

TEST_F(MemManagerTest, FreedBlockNumbersComeBackLastInFirstOut) {
    void* a = memory->malloc(16);
    void* b = memory->malloc(16);
    void* c = memory->malloc(16);
    EXPECT_EQ(numberOf(memory, a), 0);
    EXPECT_EQ(numberOf(memory, b), 1);
    EXPECT_EQ(numberOf(memory, c), 2);
    memory->free(a);
    memory->free(c);
    void* first = memory->malloc(16);
    void* second = memory->malloc(16);
    EXPECT_EQ(numberOf(memory, first), 2);
    EXPECT_EQ(numberOf(memory, second), 0);
    EXPECT_EQ(memory->freeBlockCount(2), DSMemManager::blockCount(2) - 3);
    for (void* p : {first, second, b})
        memory->free(p);
}

TEST_F(MemManagerTest, PoolBlocksAreConsecutiveAndReused) {
    if (DSMemManager::plainMemory())
        GTEST_SKIP() << "addresses belong to the pool";
    unsigned char* a = static_cast<unsigned char*>(memory->malloc(16));
    unsigned char* b = static_cast<unsigned char*>(memory->malloc(16));
    EXPECT_EQ(b - a, 16);
    memory->free(a);
    EXPECT_EQ(memory->malloc(16), a);
    // A pointer into a block (not at its start) frees that block.
    memory->free(b + 5);
    EXPECT_EQ(memory->malloc(9), b);
    memory->free(a);
    memory->free(b);
}

TEST_F(MemManagerTest, FreeRefusesPointersItDidNotHandOut) {
    int onTheStack = 0;
    void* block = memory->malloc(32);
    memory->free(block);
    const struct {
        const char* what;
        void* p;
    } cases[] = {{"a stack address", &onTheStack}, {"a null pointer", nullptr}, {"a block freed twice", block}};
    for (const auto& c : cases) {
        Exception e = thrownBy([&] { memory->free(c.p); });
        EXPECT_EQ(text(e.message), "Memory manager: Can't free pointer") << c.what;
        EXPECT_EQ(text(e.function), "Vantor::DSMemManager::free");
        EXPECT_EQ(e.line, 92);
    }
    EXPECT_EQ(memory->freeBlockCount(3), DSMemManager::blockCount(3)) << "the double free did not add a number";
}

TEST_F(MemManagerTest, The4097thLiveCellIsRefused) {
    std::vector<DSVarPtr> cells;
    for (int i = 0; i < DSMemManager::kCellCount; ++i)
        cells.push_back(newVariable());
    EXPECT_EQ(memory->freeCellCount(), 0);
    Exception e = thrownBy([&] { newVariable(); });
    EXPECT_EQ(text(e.message), "Memory manager: Out of memory");
    EXPECT_EQ(text(e.function), "Vantor::DSMemManager::_new");
    EXPECT_EQ(e.line, 56);
    const int index = cells[100]->poolIndex;
    cells[100].release();
    DSVarPtr again = newVariable();
    EXPECT_EQ(again->poolIndex, index) << "the cell released last is the next one out";
}

TEST_F(MemManagerTest, CellsComeOutInIndexOrderAndFresh) {
    DSVariable* first = memory->_new();
    DSVariable* second = memory->_new();
    EXPECT_EQ(first->poolIndex, 0);
    EXPECT_EQ(second->poolIndex, 1);
    memory->release(second);

    // A released Vector cell comes back as a fresh "object" cell, its block freed.
    first->setType(dsVectorType);
    first->refCount = 3;
    EXPECT_EQ(memory->freeBlockCount(2), DSMemManager::blockCount(2) - 1);
    memory->release(first);
    EXPECT_EQ(memory->freeBlockCount(2), DSMemManager::blockCount(2));
    DSVariable* again = memory->_new();
    EXPECT_EQ(again->poolIndex, 0);
    EXPECT_EQ(again->refCount, 0);
    EXPECT_EQ(again->typeId, kObjectTypeId);
    EXPECT_EQ(again->type, &dsObjectType);
    EXPECT_EQ(again->size, 0u);
    EXPECT_EQ(again->block, nullptr);
    memory->release(again);
    if (!DSMemManager::plainMemory())
        memory->release(again); // ignored; in plain memory it is a use after free
    EXPECT_EQ(memory->freeCellCount(), DSMemManager::kCellCount);
}

TEST_F(MemManagerTest, ReferencesCountCellsBackIntoThePool) {
    DSVarPtr a = newVariable();
    {
        DSVarPtr b = a;
        DSVarPtr c;
        c = b;
        EXPECT_EQ(a->refCount, 3);
    }
    EXPECT_EQ(a->refCount, 1);
    EXPECT_EQ(memory->freeCellCount(), DSMemManager::kCellCount - 1);

    // Rebinding releases the old cell; rebinding to the same cell changes nothing.
    DSVarPtr other = newVariable();
    a = other;
    EXPECT_EQ(memory->freeCellCount(), DSMemManager::kCellCount - 1);
    const DSVarPtr& alias = a;
    a = alias;
    EXPECT_EQ(a->refCount, 2);
    DSVarPtr moved = std::move(other);
    EXPECT_FALSE(other);
    EXPECT_EQ(moved->refCount, 2);
}

TEST_F(MemManagerTest, ValuesBiggerThanACellTakeBlocks) {
    DSVarPtr v = newVariable();
    v->setType(dsVectorType);
    ASSERT_NE(v->block, nullptr);
    EXPECT_EQ(classOf(memory, v->block), 2);
    DSVarPtr m = newVariable();
    m->setType(dsMatrixType);
    EXPECT_EQ(classOf(memory, m->block), 4);
    DSVarPtr s = newVariable();
    s->setType(dsStringType);
    EXPECT_EQ(s->block, nullptr) << "a String is a pointer inside the cell";
    v->setType(dsIntType);
    EXPECT_EQ(v->block, nullptr);
    EXPECT_EQ(memory->freeBlockCount(2), DSMemManager::blockCount(2));
}

TEST_F(MemManagerTest, ReferencesOutlivingTheManagerAreHarmless) {
    DSVarPtr s = newVariable();
    s->setType(dsStringType);
    *DSString::getString(*s) = "kept until exit";
    DSVarPtr a = newVariable();
    a->setType(dsArrayType);
    DSArray::resize(*a, 3);
    DSArray::getElement(*a, 1)->setType(dsStringType);
    DSVarPtr v = newVariable();
    v->setType(dsVectorType);
    // As at process exit: the manager goes while references remain. Their
    // later release must not touch the pool, and the values' objects are freed.
    destroySingletons();
    s.release();
    a.release();
    v.release();
    memory = DSMemManager::getInstance();
}

TEST(VMManager, HandsOutEightMachinesNewestNumberFirst) {
    destroySingletons();
    VMManager* pool = VMManager::getInstance();
    std::vector<VirtualMachine*> out;
    for (int i = 0; i < VMManager::kMachineCount; ++i)
        out.push_back(pool->getVM());
    for (int i = 0; i < VMManager::kMachineCount; ++i)
        EXPECT_EQ(out[unsigned(i)]->poolIndex, 7 - i);
    Exception e = thrownBy([&] { pool->getVM(); });
    EXPECT_EQ(text(e.message), "Too many virtual machines in use");
    EXPECT_EQ(text(e.function), "Vantor::VMManager::getVM");
    EXPECT_EQ(text(e.file), "source\\modules\\DrovelScript\\VMManager");
    EXPECT_EQ(e.line, 35);

    pool->releaseVM(out[3]);
    pool->releaseVM(out[3]);   // not out any more: ignored
    pool->releaseVM(nullptr);
    VirtualMachine stranger;
    stranger.poolIndex = 2;
    pool->releaseVM(&stranger); // not one of the pool's
    EXPECT_EQ(pool->freeCount(), 1);
    EXPECT_EQ(pool->getVM(), out[3]);
    EXPECT_EQ(text(thrownBy([&] { pool->getVM(); }).message), "Too many virtual machines in use");
    for (VirtualMachine* vm : out)
        pool->releaseVM(vm);
    EXPECT_EQ(pool->freeCount(), VMManager::kMachineCount);
}
