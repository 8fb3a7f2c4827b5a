// StandardDialect: the built-in dialect of the Drovel language, built once on
// first use. Its types have these ids: void 0, object 1, bool 2, char 3, int 4,
// float 5, Array 6, String 7, Vector 8, Matrix 9. Its operators cover each
// operand-type pair listed in StandardOperators.h and nothing mixed (no int
// with float, nothing on char, String or Array); its functions are those of
// StandardFunctions.h, in a fixed order that fixes the name rows.
#pragma once

#include "Core/Singleton.h"
#include "modules/DrovelScript/Dialect.h"
#include "modules/DrovelScript/StandardFunctions.h"
#include "modules/DrovelScript/StandardOperators.h"

namespace Vantor {

constexpr int kBoolTypeId = 2;
constexpr int kCharTypeId = 3;
constexpr int kIntTypeId = 4;
constexpr int kFloatTypeId = 5;
constexpr int kArrayTypeId = 6;
constexpr int kStringTypeId = 7;
constexpr int kVectorTypeId = 8;
constexpr int kMatrixTypeId = 9;

class StandardDialect : public Dialect, public Singleton<StandardDialect> {
public:
    // Types, then functions, then operators, then the two conversions.
    StandardDialect();
};

} // namespace Vantor
