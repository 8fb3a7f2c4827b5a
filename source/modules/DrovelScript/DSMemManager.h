// DSMemManager: the pool of script value cells and the fixed-size blocks that
// hold values too large for a cell.
//
// 4096 cells, handed out and taken back through a stack of free indices, and
// sixteen size classes: class i serves blocks of 4 * 2^i bytes out of its own
// 16384-byte region, so it has 4096 / 2^i blocks (classes 13 to 15 have none).
// Free stacks are last in, first out and start with number 0 on top. Every
// operation is a constant-time stack push or pop, except freeing a block,
// which scans at most the sixteen region bounds.
//
// Built with VANTOR_DS_PLAIN_MEMORY (the default of sanitizer builds), every
// cell and block is a separate new/delete allocation of exactly the size
// asked for, so the sanitizers see overruns and use after release; the cell
// and block limits, the free-stack order of the numbers and every error stay
// the same, only the addresses differ (and a block is known only by its start).
#pragma once

#include "Core/ArrayList.h"
#include "Core/Singleton.h"
#include "Core/Stack.h"
#include "modules/DrovelScript/DSVariable.h"

namespace Vantor {

class DSMemManager : public Singleton<DSMemManager> {
public:
    // Keeps free cells aside for quick reuse (a running machine's spare
    // cells). The pool asks every registered reserve to give its cells back
    // before it reports that it has none, so a cell kept aside counts as a
    // free one: no run fails earlier for them.
    class CellReserve {
    public:
        virtual void giveBackCells() = 0;

    protected:
        ~CellReserve() = default;
    };

    static constexpr int kCellCount = 4096;
    static constexpr int kSizeClassCount = 16;
    static constexpr unsigned kMinBlockSize = 4;
    static constexpr unsigned kRegionSize = kCellCount * kMinBlockSize;
    static constexpr unsigned kMaxBlockSize = kMinBlockSize << (kSizeClassCount - 1);

    // True when built to allocate every cell and block with new and delete.
    static constexpr bool plainMemory() {
#ifdef VANTOR_DS_PLAIN_MEMORY
        return true;
#else
        return false;
#endif
    }

    static constexpr unsigned blockSize(int sizeClass) { return kMinBlockSize << sizeClass; }
    static constexpr int blockCount(int sizeClass) { return int(kRegionSize / blockSize(sizeClass)); }
    // The smallest class whose blocks hold n bytes, or -1 when n > kMaxBlockSize.
    static int sizeClassFor(unsigned n);

    DSMemManager();
    DSMemManager(const DSMemManager&) = delete;
    DSMemManager& operator=(const DSMemManager&) = delete;
    // Destroys the values still held by live cells, then the cells and regions.
    ~DSMemManager();

    // A fresh cell: reference count 0, type "object", size 0, no block.
    DSVariable* _new();
    // Whether _new would give a cell now, counting the reserves' cells.
    bool canTake() { return !freeCells.empty() || reclaimReserves(); }
    void addReserve(CellReserve& reserve) { reserves.add(&reserve); }
    // Forgets the reserve; one that was never added is ignored.
    void removeReserve(CellReserve& reserve);
    // Resets the cell and puts it back on the free stack. Cells that are not
    // this pool's or not in use are left alone (it runs from destructors).
    void release(DSVariable* cell);

    // A block of the smallest class that holds n bytes.
    void* malloc(unsigned n);
    // Gives back the block that p points into (or, in plain memory, starts at).
    void free(void* p);

    int freeCellCount() const { return int(freeCells.size()); }
    int freeBlockCount(int sizeClass) const { return int(classes[sizeClass].freeBlocks.size()); }
    // The class and block number p lies in; false when no class's block holds it.
    bool findBlock(const void* p, int& sizeClass, int& number) const;

private:
    struct SizeClass {
        unsigned char* region = nullptr;
        Stack<int> freeBlocks;
        // Whether each block number is handed out; plain memory also keeps the
        // separate allocation of each block.
        ArrayList<unsigned char> inUse;
        ArrayList<unsigned char*> plainBlocks;
    };

    DSVariable* cells = nullptr;
    ArrayList<DSVariable*> plainCells;
    ArrayList<unsigned char> cellInUse;
    Stack<int> freeCells;
    SizeClass classes[kSizeClassCount];
    ArrayList<CellReserve*> reserves;

    // Has every reserve give its cells back; true when a cell is free then.
    bool reclaimReserves();
};

// A counted reference to a fresh pool cell (type "object").
DSVarPtr newVariable();

} // namespace Vantor
