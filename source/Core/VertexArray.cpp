#include "Core/VertexArray.h"

#include "Core/VBOManager.h"
#include "Core/WinAppFramework/Exception.h"

#include <cstdint>
#include <cstring>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\Core\\VertexArray";

constexpr long long bytesPerFloat = sizeof(float);

// Client-memory arrays pass addresses; while a buffer object is bound to the
// same target GL would read them as offsets into that buffer. Another array
// may have left one bound, so the client path unbinds first when the driver
// has buffer objects at all.
void unbindForClientMemory(GLenum target) {
    if (GLEW_ARB_vertex_buffer_object)
        glBindBufferARB(target, 0);
}

} // namespace

int VertexArray::grownBlockSize(long long floatsPerVertex, const char* function, int line) const {
    const long long size = (long long)block.size + floatsPerVertex * bytesPerFloat * vertexCount;
    if (size > maxBlockBytes)
        throw Exception("Vertex array too large", function, sourceFile, line);
    return int(size);
}

void VertexArray::create(int count, int wanted, int sets, bool wantVBO, bool dynamic) {
    const char* const function = "Vantor::VertexArray::create";
    if (count < 0)
        throw Exception("Vertex count out of range", function, sourceFile, __LINE__);
    if (sets < 0 || sets > maxTexCoordSets)
        throw Exception("Texture coordinate set count out of range", function, sourceFile, __LINE__);
    long long floatsPerVertex = positionFloats;
    if (wanted & normalArray)
        floatsPerVertex += normalFloats;
    if (wanted & colorArray)
        floatsPerVertex += colorFloats;
    if (wanted & texCoordArray)
        floatsPerVertex += (long long)createdTexCoordFloats * sets;
    if (floatsPerVertex * bytesPerFloat * count > maxBlockBytes)
        throw Exception("Vertex array too large", function, sourceFile, __LINE__);

    // Creating again starts from an empty layout.
    uploaded = false;
    positionOffset = 0;
    normalOffset = 0;
    colorOffset = 0;
    for (int i = 0; i < maxTexCoordSets; ++i)
        texOffset[i] = texSize[i] = 0;
    attribEnabled = false;
    for (int i = 0; i < maxAttribs; ++i) {
        attribOffset[i] = attribSize[i] = 0;
        attribType[i] = 0;
    }
    multiTexture = false;
    vertexCount = count;
    texSetCount = sets;

    const int arrayBytes = int(bytesPerFloat) * count;
    int end = positionFloats * arrayBytes;
    if (wanted & normalArray) {
        normalOffset = end;
        end += normalFloats * arrayBytes;
    }
    if (wanted & colorArray) {
        colorOffset = end;
        end += colorFloats * arrayBytes;
    }
    if (wanted & texCoordArray) {
        for (int i = 0; i < sets; ++i) {
            texOffset[i] = end;
            texSize[i] = createdTexCoordFloats;
            end += createdTexCoordFloats * arrayBytes;
        }
        multiTexture = true;
    }
    // Emptied first, so that the one allocation comes zero-filled.
    block.resize(0);
    block.resize(unsigned(end));

    usage = dynamic ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB;
    useVBO = wantVBO && VBOManager::getInstance()->enabled;
    if (useVBO) {
        if (buffer == 0)
            buffer = VBOManager::getInstance()->generate();
    } else {
        buffer = 0;
    }

    if (wanted & attribArray) {
        if (GLEW_ARB_vertex_program)
            attribEnabled = true;
        else
            wanted &= ~attribArray;
    }
    arrays = (unsigned char)(wanted & (colorArray | normalArray | texCoordArray | attribArray));
    updatePointers();
}

void VertexArray::addTexCoordSet(int index, int size) {
    const char* const function = "Vantor::VertexArray::addTexCoordSet";
    if (index < 0 || index >= maxTexCoordSets)
        throw Exception("Texture coordinate set out of range", function, sourceFile, __LINE__);
    if (size < 1 || size > maxComponents)
        throw Exception("Texture coordinate size out of range", function, sourceFile, __LINE__);
    const int grown = grownBlockSize(size, function, __LINE__);

    arrays |= texCoordArray;
    texSize[index] = size;
    texOffset[index] = int(block.size);
    block.resize(unsigned(grown));
    updatePointers();
    multiTexture = true;
}

void VertexArray::setTexCoord(int vertex, int set, const float* values) {
    const char* const function = "Vantor::VertexArray::setTexCoord";
    if (vertex < 0 || vertex >= vertexCount)
        throw Exception("Vertex out of range", function, sourceFile, __LINE__);
    if (set < 0 || set >= maxTexCoordSets || texSize[set] == 0)
        throw Exception("Texture coordinate set absent", function, sourceFile, __LINE__);
    const long long bytes = texSize[set] * bytesPerFloat;
    std::memcpy(block.data + texOffset[set] + vertex * bytes, values, size_t(bytes));
}

void VertexArray::updatePointers() {
    auto pointerTo = [this](int offset) -> const GLvoid* {
        if (useVBO)
            return reinterpret_cast<const GLvoid*>(static_cast<std::uintptr_t>(offset));
        return block.data + offset;
    };
    positionPointer = pointerTo(positionOffset);
    normalPointer = (arrays & normalArray) ? pointerTo(normalOffset) : nullptr;
    colorPointer = (arrays & colorArray) ? pointerTo(colorOffset) : nullptr;
    for (int i = 0; i < maxTexCoordSets; ++i)
        texPointer[i] = texSize[i] > 0 ? pointerTo(texOffset[i]) : nullptr;
    for (int i = 0; i < maxAttribs; ++i)
        attribPointer[i] = attribSize[i] > 0 ? pointerTo(attribOffset[i]) : nullptr;
}

void VertexArray::enableArrays(bool positionsOnly) {
    if (useVBO)
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    else
        unbindForClientMemory(GL_ARRAY_BUFFER_ARB);
    glVertexPointer(positionFloats, GL_FLOAT, 0, positionPointer);
    glEnableClientState(GL_VERTEX_ARRAY);
    if (positionsOnly)
        return;

    if (arrays & normalArray) {
        glNormalPointer(GL_FLOAT, 0, normalPointer);
        glEnableClientState(GL_NORMAL_ARRAY);
    }
    if (arrays & colorArray) {
        glColorPointer(colorFloats, GL_FLOAT, 0, colorPointer);
        glEnableClientState(GL_COLOR_ARRAY);
    }
    if (arrays & texCoordArray) {
        if (multiTexture) {
            for (int i = 0; i < maxTexCoordSets; ++i) {
                if (texSize[i] == 0)
                    continue;
                glClientActiveTextureARB(GL_TEXTURE0_ARB + i);
                glTexCoordPointer(texSize[i], GL_FLOAT, 0, texPointer[i]);
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            }
        } else if (texSize[0] > 0) {
            glTexCoordPointer(texSize[0], GL_FLOAT, 0, texPointer[0]);
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    if ((arrays & attribArray) && attribEnabled) {
        for (int i = 0; i < maxAttribs; ++i) {
            if (attribSize[i] == 0)
                continue;
            glVertexAttribPointerARB(GLuint(i), attribSize[i], attribType[i], GL_FALSE, 0, attribPointer[i]);
            glEnableVertexAttribArrayARB(GLuint(i));
        }
    }
}

void VertexArray::disableArrays(bool positionsOnly) {
    glDisableClientState(GL_VERTEX_ARRAY);
    if (positionsOnly)
        return;

    if (arrays & texCoordArray) {
        if (multiTexture) {
            for (int i = 0; i < maxTexCoordSets; ++i) {
                if (texSize[i] == 0)
                    continue;
                glClientActiveTextureARB(GL_TEXTURE0_ARB + i);
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            }
        } else if (texSize[0] > 0) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    if (arrays & normalArray)
        glDisableClientState(GL_NORMAL_ARRAY);
    if (arrays & colorArray)
        glDisableClientState(GL_COLOR_ARRAY);
    if ((arrays & attribArray) && attribEnabled) {
        for (int i = 0; i < maxAttribs; ++i)
            if (attribSize[i] != 0)
                glDisableVertexAttribArrayARB(GLuint(i));
    }
}

void VertexArray::upload() {
    if (!useVBO)
        return;
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(block.size), block.data, usage);
    uploaded = true;
}

void VertexArray::updateBuffer(bool positionsAndNormalsOnly) {
    if (!useVBO)
        return;
    // Before the first upload the buffer has no store to update in part.
    if (!uploaded) {
        upload();
        return;
    }
    GLsizeiptrARB bytes = GLsizeiptrARB(block.size);
    if (positionsAndNormalsOnly) {
        const long long floats = positionFloats + ((arrays & normalArray) ? normalFloats : 0);
        bytes = GLsizeiptrARB(floats * bytesPerFloat * vertexCount);
    }
    glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, bytes, block.data);
}

VAIndexList::~VAIndexList() { delete[] indices; }

void VAIndexList::allocate(int n) {
    if (n < 0 || n > maxCount)
        throw Exception("Index count out of range", "Vantor::VAIndexList::allocate", sourceFile, __LINE__);
    GLuint* fresh = n > 0 ? new GLuint[size_t(n)]() : nullptr;
    delete[] indices;
    indices = fresh;
    count = n;
}

void VAIndexList::enableVBO(bool want) {
    if (!want || !VBOManager::getInstance()->enabled)
        return;
    useVBO = true;
    if (buffer == 0)
        buffer = VBOManager::getInstance()->generate();
}

void VAIndexList::upload() {
    if (!useVBO)
        return;
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, buffer);
    glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLsizeiptrARB(count) * GLsizeiptrARB(sizeof(GLuint)), indices,
                    GL_STATIC_DRAW_ARB);
    glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

void VAIndexList::draw() {
    if (count == 0)
        return;
    if (useVBO) {
        glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, buffer);
        glDrawElements(mode, count, GL_UNSIGNED_INT, nullptr);
    } else {
        unbindForClientMemory(GL_ELEMENT_ARRAY_BUFFER_ARB);
        glDrawElements(mode, count, GL_UNSIGNED_INT, indices);
    }
}

VAObject::~VAObject() { delete[] indexLists; }

void VAObject::createIndexLists(int count) {
    if (count < 0)
        throw Exception("Index list count out of range", "Vantor::VAObject::createIndexLists", sourceFile,
                        __LINE__);
    VAIndexList* fresh = count > 0 ? new VAIndexList[size_t(count)] : nullptr;
    delete[] indexLists;
    indexLists = fresh;
    indexListCount = count;
    for (int i = 0; i < count; ++i)
        indexLists[i].enableVBO(useVBO);
}

void VAObject::upload() {
    // An index past the arrays would make GL read outside the block or buffer.
    for (int list = 0; list < indexListCount; ++list) {
        const VAIndexList& indexList = indexLists[list];
        for (int i = 0; i < indexList.count; ++i)
            if (indexList.indices[i] >= GLuint(vertexCount))
                throw Exception("Vertex index out of range", "Vantor::VAObject::upload", sourceFile, __LINE__);
    }
    for (int list = 0; list < indexListCount; ++list)
        indexLists[list].upload();
    VertexArray::upload();
}

void VAObject::draw(bool positionsOnly) {
    enableArrays(positionsOnly);
    for (int list = 0; list < indexListCount; ++list)
        indexLists[list].draw();
    disableArrays(positionsOnly);
}

} // namespace Vantor
