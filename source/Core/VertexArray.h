// VertexArray, VAObject and VAIndexList: the geometry of everything drawn
// with arrays.
//
// A VertexArray keeps every per-vertex array of one mesh in one byte block,
// back to back and not interleaved: positions first, then normals, colours and
// the texture-coordinate sets, each array tightly packed 32-bit floats. The
// offsets locate the arrays in the block and never change once laid out; the
// block itself may move when it grows, so the pointers handed to GL are
// recomputed from the offsets after every growth. With a buffer object the
// pointers are the offsets themselves, otherwise addresses inside the block.
// A VAObject adds the index lists drawn with glDrawElements, each in its own
// element buffer when buffer objects are used. Buffer names come from the
// VBOManager, which deletes them all at shutdown; nothing here deletes one.
#pragma once

#include "Core/ArrayList.h"
#include "Core/Object.h"

#include <GL/glew.h>

namespace Vantor {

class VertexArray : public Object {
public:
    static constexpr int maxTexCoordSets = 8;
    static constexpr int maxAttribs = 16;
    // Floats per vertex of a texture-coordinate set or generic attribute.
    static constexpr int maxComponents = 4;
    // Every offset and the block size must fit an int.
    static constexpr long long maxBlockBytes = 0x7FFFFFFF;

    // Bits of arrays.
    static constexpr int colorArray = 1;
    static constexpr int normalArray = 2;
    static constexpr int texCoordArray = 4;
    static constexpr int attribArray = 8;

    static constexpr int positionFloats = 3;
    static constexpr int normalFloats = 3;
    static constexpr int colorFloats = 4;
    // Floats per vertex of each set that create lays out.
    static constexpr int createdTexCoordFloats = 2;

    bool uploaded = false;
    bool useVBO = false;
    GLuint buffer = 0;
    int positionOffset = 0;
    int texOffset[maxTexCoordSets] = {};
    // 0 marks an absent set.
    int texSize[maxTexCoordSets] = {};
    // 0 when there are no normals (positions always come first).
    int normalOffset = 0;
    int colorOffset = 0;
    const GLvoid* positionPointer = nullptr;
    const GLvoid* normalPointer = nullptr;
    const GLvoid* colorPointer = nullptr;
    const GLvoid* texPointer[maxTexCoordSets] = {};
    const GLvoid* attribPointer[maxAttribs] = {};
    bool attribEnabled = false;
    int attribOffset[maxAttribs] = {};
    // 0 marks an absent attribute.
    int attribSize[maxAttribs] = {};
    GLenum attribType[maxAttribs] = {};
    int vertexCount = 0;
    GLenum usage = GL_STATIC_DRAW_ARB;
    ArrayList<char> block;
    unsigned char arrays = 0;
    bool multiTexture = false;
    int texSetCount = 0;

    VertexArray() = default;
    // A vertex array is shared through SPtr, never copied: a copy would share
    // the buffer name but not the data.
    VertexArray(const VertexArray&) = delete;
    VertexArray& operator=(const VertexArray&) = delete;
    // Frees the block. It makes no GL call: arrays are enabled only between
    // enableArrays and disableArrays, and at process exit the context is gone.
    ~VertexArray() override = default;

    // Lays out a zero-filled block for vertexCount vertices: positions; normals
    // with normalArray; colours with colorArray; with texCoordArray,
    // texSetCount two-float sets. Takes a buffer name when wantVBO is set and
    // the driver has buffer objects; drops attribArray when it has no vertex
    // programs. Throws Exception on a negative count, more than
    // maxTexCoordSets sets or a block over maxBlockBytes.
    void create(int vertexCount, int arrays, int texSetCount, bool wantVBO, bool dynamic);
    // Appends set index, size floats per vertex, at the end of the block;
    // what is stored already keeps its offset. Throws Exception for an index or
    // size out of range or a block over maxBlockBytes.
    void addTexCoordSet(int index, int size);
    // Copies texSize[set] floats from values into the vertex's slot of the set.
    // Throws Exception for a vertex out of range or an absent set.
    void setTexCoord(int vertex, int set, const float* values);
    void setTexCoord(int vertex, const float* values) { setTexCoord(vertex, 0, values); }
    void updatePointers();

    // Points GL at the arrays and enables them; positionsOnly stops after the
    // positions (depth-only and shadow passes).
    void enableArrays(bool positionsOnly);
    // Disables what enableArrays (positionsOnly) enabled. The client active
    // texture unit stays at the last set's.
    void disableArrays(bool positionsOnly);
    // With a buffer object, sends the whole block; leaves the buffer bound.
    void upload();
    // With a buffer object, re-sends the positions and normals (or, without
    // the flag, the whole block) to the bound buffer.
    void updateBuffer(bool positionsAndNormalsOnly);

private:
    // The block size after growing by floatsPerVertex floats for every
    // vertex; throws Exception from function past maxBlockBytes.
    int grownBlockSize(long long floatsPerVertex, const char* function, int line) const;
};

class VAIndexList : public Object {
public:
    static constexpr GLenum defaultMode = GL_QUAD_STRIP;
    // count * 4 bytes must fit an int.
    static constexpr int maxCount = 0x7FFFFFFF / int(sizeof(GLuint));

    bool useVBO = false;
    GLuint buffer = 0;
    GLenum mode = defaultMode;
    GLuint* indices = nullptr;
    int count = 0;

    VAIndexList() = default;
    VAIndexList(const VAIndexList&) = delete;
    VAIndexList& operator=(const VAIndexList&) = delete;
    ~VAIndexList() override;

    // Replaces the indices with count zeroes. Throws Exception for a count
    // outside 0..maxCount.
    void allocate(int count);
    // Takes an element buffer when want is set and the driver has buffer objects.
    void enableVBO(bool want);
    // With a buffer object, sends the indices and unbinds the element buffer.
    void upload();
    void draw();
};

class VAObject : public VertexArray {
public:
    VAIndexList* indexLists = nullptr;
    int indexListCount = 0;

    VAObject() = default;
    ~VAObject() override;

    // Replaces the index lists with count empty ones, each using a buffer
    // object when this array does. Throws Exception for a negative count.
    void createIndexLists(int count);
    // Sends every index list, then the vertex block. Throws Exception when an
    // index names a vertex past vertexCount, before anything is sent.
    void upload();
    // Enables the arrays, draws the index lists in order and disables the arrays.
    void draw(bool positionsOnly);
};

} // namespace Vantor
