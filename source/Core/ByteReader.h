// ByteReader and ByteWriter: little-endian cursors over bytes in memory, for
// the engine's binary file formats (32-bit integers, IEEE single floats,
// counted strings, no padding).
//
// A reader never reads past its end. Every read that cannot be satisfied
// fails without moving the cursor, and the first failure named with fail()
// is kept with the offset at which it happened, so a loader can report one
// line naming the fault and where it is.
#pragma once

#include "Core/ArrayList.h"
#include "Core/String.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Vantor {

class ByteReader {
public:
    ByteReader(const unsigned char* bytes, size_t count) : data(bytes), size(count) {}

    size_t offset() const { return position; }
    size_t remaining() const { return size - position; }
    // True when at least count records of recordBytes bytes each remain;
    // false for a negative count or a product that overflows.
    bool canHold(long long count, size_t recordBytes) const {
        if (count < 0)
            return false;
        unsigned long long total = 0;
        if (__builtin_mul_overflow((unsigned long long)count, (unsigned long long)recordBytes, &total))
            return false;
        return total <= remaining();
    }

    bool readBytes(void* out, size_t count) {
        if (count > remaining())
            return false;
        if (count > 0)
            std::memcpy(out, data + position, count);
        position += count;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining())
            return false;
        position += count;
        return true;
    }
    bool readInt(int& value) {
        unsigned char b[4];
        if (!readBytes(b, 4))
            return false;
        value = int(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
        return true;
    }
    bool readUInt(uint32_t& value) {
        int v = 0;
        if (!readInt(v))
            return false;
        value = uint32_t(v);
        return true;
    }
    bool readFloat(float& value) {
        uint32_t bits = 0;
        if (!readUInt(bits))
            return false;
        std::memcpy(&value, &bits, 4);
        return true;
    }
    bool readFloats(float* out, int count) {
        if (!canHold(count, 4))
            return false;
        for (int i = 0; i < count; ++i)
            readFloat(out[i]);
        return true;
    }
    // An int32 length, then that many bytes; false (cursor unmoved) for a
    // negative length or one past the end.
    bool readString(String& out) {
        const size_t start = position;
        int length = 0;
        if (!readInt(length) || length < 0 || size_t(length) > remaining()) {
            position = start;
            return false;
        }
        out.assign(reinterpret_cast<const char*>(data + position), length);
        position += size_t(length);
        return true;
    }

    // Records the first fault at the current offset; always returns false.
    bool fail(const char* what) { return failAt(position, what); }
    // Records the first fault at offset at (the start of the offending field).
    bool failAt(size_t at, const char* what) {
        if (!failed) {
            failed = true;
            fault = what;
            faultOffset = at;
        }
        return false;
    }
    bool hasFault() const { return failed; }
    const String& faultText() const { return fault; }
    size_t faultAt() const { return faultOffset; }

private:
    const unsigned char* data;
    size_t size;
    size_t position = 0;
    bool failed = false;
    String fault;
    size_t faultOffset = 0;
};

class ByteWriter {
public:
    ArrayList<unsigned char> bytes;

    void writeBytes(const void* from, size_t count) {
        const unsigned start = bytes.size;
        bytes.resize(start + unsigned(count));
        if (count > 0)
            std::memcpy(bytes.data + start, from, count);
    }
    void writeInt(int value) {
        const uint32_t v = uint32_t(value);
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        writeBytes(b, 4);
    }
    void writeFloat(float value) {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        writeInt(int(bits));
    }
    void writeString(const String& text) {
        writeInt(text.length);
        writeBytes(text.c_str(), size_t(text.length));
    }
};

} // namespace Vantor
