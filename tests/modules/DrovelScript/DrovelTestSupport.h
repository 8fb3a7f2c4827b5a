// Helpers shared by the script-language tests: checking a thrown Exception's
// text and place, building cells, and a fixture that fails a test which
// leaves pool cells or blocks in use.
#pragma once

#include "Core/WinAppFramework/Exception.h"
#include "modules/DrovelScript/DSMemManager.h"
#include "modules/DrovelScript/DSType.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace Vantor::test {

// Runs f and returns the Exception it threw; a test failure when it threw none.
inline Exception thrownBy(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e;
    }
    ADD_FAILURE() << "no Exception was thrown";
    return Exception("", "", "", 0);
}

inline std::string text(const String& s) { return std::string(s.c_str(), size_t(s.length)); }

// A fresh cell of type t holding value.
template <class T>
DSVarPtr cellOf(DSType& t, const T& value) {
    DSVarPtr cell = newVariable();
    cell->setType(t);
    cell->set(value);
    return cell;
}

inline DSVarPtr intCell(int v) { return cellOf(dsIntType, v); }
inline DSVarPtr floatCell(float v) { return cellOf(dsFloatType, v); }
inline DSVarPtr boolCell(bool v) { return cellOf(dsBoolType, v); }
inline DSVarPtr vectorCell(float x, float y, float z, float w) { return cellOf(dsVectorType, Vector4(x, y, z, w)); }
inline DSVarPtr matrixCell(const TMatrix4<float>& m) { return cellOf(dsMatrixType, m); }

inline DSVarPtr stringCell(const char* s) {
    DSVarPtr cell = newVariable();
    cell->setType(dsStringType);
    *DSString::getString(*cell) = s;
    return cell;
}

// An Array cell with n fresh "object" elements.
inline DSVarPtr arrayCell(int n) {
    DSVarPtr cell = newVariable();
    cell->setType(dsArrayType);
    DSArray::resize(*cell, n);
    return cell;
}

// Every test ends with the whole pool free again: no cell or block leaked.
class DrovelTest : public ::testing::Test {
protected:
    void TearDown() override {
        DSMemManager* memory = DSMemManager::getInstance();
        EXPECT_EQ(memory->freeCellCount(), DSMemManager::kCellCount) << "cells still in use";
        for (int c = 0; c < DSMemManager::kSizeClassCount; ++c)
            EXPECT_EQ(memory->freeBlockCount(c), DSMemManager::blockCount(c)) << "blocks of class " << c;
    }
};

} // namespace Vantor::test
