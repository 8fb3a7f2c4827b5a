// The cell pool and the size-class block allocator of the script language.
#include "modules/DrovelScript/DSMemManager.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSType.h"

#include <cstdint>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\modules\\DrovelScript\\DSMemmanager";
constexpr int lineCellsExhausted = 56;
constexpr int lineBlockTooBig = 76;
constexpr int lineClassExhausted = 82;
constexpr int lineCantFree = 92;

// Fills a stack so that 0 is on top and n - 1 at the bottom. The stack never
// gives its storage back, so pushes and pops stay allocation-free.
void fillFreeStack(Stack<int>& stack, int n) {
    stack.items.autoShrink = false;
    stack.items.reserve(unsigned(n > 0 ? n : 1));
    for (int i = n - 1; i >= 0; --i)
        stack.push(i);
}

} // namespace

int DSMemManager::sizeClassFor(unsigned n) {
    for (int i = 0; i < kSizeClassCount; ++i)
        if (blockSize(i) >= n)
            return i;
    return -1;
}

DSMemManager::DSMemManager() {
    if constexpr (plainMemory()) {
        plainCells.resize(kCellCount);
        for (int i = 0; i < kCellCount; ++i)
            plainCells[i] = nullptr;
    } else {
        cells = new DSVariable[kCellCount];
        for (int i = 0; i < kCellCount; ++i)
            cells[i].poolIndex = i;
    }
    cellInUse.resize(kCellCount);
    for (int i = 0; i < kCellCount; ++i)
        cellInUse[i] = 0;
    fillFreeStack(freeCells, kCellCount);

    for (int c = 0; c < kSizeClassCount; ++c) {
        SizeClass& sizeClass = classes[c];
        const int count = blockCount(c);
        if constexpr (plainMemory()) {
            sizeClass.plainBlocks.resize(unsigned(count));
            for (int b = 0; b < count; ++b)
                sizeClass.plainBlocks[b] = nullptr;
        } else {
            sizeClass.region = new unsigned char[kRegionSize];
        }
        sizeClass.inUse.resize(unsigned(count));
        for (int b = 0; b < count; ++b)
            sizeClass.inUse[b] = 0;
        fillFreeStack(sizeClass.freeBlocks, count);
    }
}

DSMemManager::~DSMemManager() {
    // Values that own heap objects (String, Array) are destroyed here. Array
    // elements released meanwhile are no longer counted (the singleton is
    // already gone), but each of them is a live cell that this loop visits.
    for (int i = 0; i < kCellCount; ++i) {
        if (!cellInUse[i])
            continue;
        DSVariable* cell = plainMemory() ? plainCells[i] : &cells[i];
        if (cell->type)
            cell->type->destroyValue(*cell);
        cell->type = nullptr;
        cell->block = nullptr;
        cell->size = 0;
    }
    if constexpr (plainMemory()) {
        for (int i = 0; i < kCellCount; ++i)
            delete plainCells[i];
        for (SizeClass& sizeClass : classes)
            for (unsigned char* p : sizeClass.plainBlocks)
                delete[] p;
    } else {
        delete[] cells;
        for (SizeClass& sizeClass : classes)
            delete[] sizeClass.region;
    }
}

bool DSMemManager::reclaimReserves() {
    for (CellReserve* reserve : reserves)
        reserve->giveBackCells();
    return !freeCells.empty();
}

void DSMemManager::removeReserve(CellReserve& reserve) {
    const int index = reserves.indexOf(&reserve);
    if (index >= 0)
        reserves.remove(unsigned(index));
}

DSVariable* DSMemManager::_new() {
    if (freeCells.empty() && !reclaimReserves())
        throw Exception("Memory manager: Out of memory", "Vantor::DSMemManager::_new", sourceFile,
                        lineCellsExhausted);
    const int index = freeCells.top();
    freeCells.pop();
    DSVariable* cell;
    if constexpr (plainMemory()) {
        cell = new DSVariable;
        cell->poolIndex = index;
        plainCells[index] = cell;
    } else {
        cell = &cells[index];
    }
    cellInUse[index] = 1;
    cell->refCount = 0;
    cell->typeId = kObjectTypeId;
    cell->type = &dsObjectType;
    cell->size = 0;
    cell->block = nullptr;
    return cell;
}

void DSMemManager::release(DSVariable* cell) {
    if (!cell)
        return;
    const int index = cell->poolIndex;
    if (index < 0 || index >= kCellCount || !cellInUse[index])
        return;
    if (plainMemory() ? plainCells[index] != cell : &cells[index] != cell)
        return;
    cell->reset();
    cellInUse[index] = 0;
    if constexpr (plainMemory()) {
        plainCells[index] = nullptr;
        delete cell;
    }
    freeCells.push(index);
}

void* DSMemManager::malloc(unsigned n) {
    const int c = sizeClassFor(n);
    if (c < 0)
        throw Exception("Requested memory block is too big - this may be fixed later",
                        "Vantor::DSMemManager::malloc", sourceFile, lineBlockTooBig);
    SizeClass& sizeClass = classes[c];
    if (sizeClass.freeBlocks.empty())
        throw Exception("Memory manager: Out of memory", "Vantor::DSMemManager::malloc", sourceFile,
                        lineClassExhausted);
    const int number = sizeClass.freeBlocks.top();
    sizeClass.freeBlocks.pop();
    sizeClass.inUse[number] = 1;
    if constexpr (plainMemory()) {
        // Exactly n bytes, so that the sanitizers see a write past the value.
        unsigned char* p = new unsigned char[n > 0 ? n : 1];
        sizeClass.plainBlocks[number] = p;
        return p;
    } else {
        return sizeClass.region + unsigned(number) * blockSize(c);
    }
}

bool DSMemManager::findBlock(const void* p, int& sizeClass, int& number) const {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(p);
    for (int c = 0; c < kSizeClassCount; ++c) {
        const SizeClass& candidate = classes[c];
        if constexpr (plainMemory()) {
            for (unsigned b = 0; b < candidate.plainBlocks.size; ++b) {
                if (candidate.plainBlocks[b] && candidate.plainBlocks[b] == p) {
                    sizeClass = c;
                    number = int(b);
                    return true;
                }
            }
        } else {
            const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(candidate.region);
            if (address < start || address > start + (kRegionSize - 1))
                continue;
            // A region whose class has no blocks holds nothing that can be freed.
            const std::uintptr_t b = (address - start) / blockSize(c);
            if (b >= std::uintptr_t(blockCount(c)))
                return false;
            sizeClass = c;
            number = int(b);
            return true;
        }
    }
    return false;
}

void DSMemManager::free(void* p) {
    int c = 0, number = 0;
    // A block that is not handed out (freed twice) is refused as well: taking
    // its number twice would give one block to two values.
    if (!findBlock(p, c, number) || !classes[c].inUse[number])
        throw Exception("Memory manager: Can't free pointer", "Vantor::DSMemManager::free", sourceFile,
                        lineCantFree);
    SizeClass& sizeClass = classes[c];
    sizeClass.inUse[number] = 0;
    if constexpr (plainMemory()) {
        delete[] sizeClass.plainBlocks[number];
        sizeClass.plainBlocks[number] = nullptr;
    }
    sizeClass.freeBlocks.push(number);
}

DSVarPtr newVariable() { return DSVarPtr(DSMemManager::getInstance()->_new()); }

void DSVarPtr::dropLastReference(DSVariable* cell) noexcept {
    if (!DSMemManager::exists())
        return;
    if (--cell->refCount <= 0)
        DSMemManager::getInstance()->release(cell);
}

} // namespace Vantor
