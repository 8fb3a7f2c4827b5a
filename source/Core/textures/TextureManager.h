// Texture and TextureManager: the engine's fixed table of OpenGL textures.
//
// Every texture of the program takes the next entry of one table of
// textureTableSize entries; entries are handed out in increasing order, never
// returned, and never move, so callers keep the Texture pointer for good.
// There is no cache by file name: each load takes a new entry. The GL names
// of all entries are generated when the manager is created (a GL context must
// be current) and deleted only by deleteAll at shutdown.
//
// The manager remembers the one texture target it last enabled (for the
// whole process, not per texture unit), so that binding textures of the same
// target enables it only once.
#pragma once

#include "Core/Singleton.h"
#include "Core/textures/Image.h"

#include <GL/glew.h>

#include <cstdio>

namespace Vantor {

// Number of entries of the texture table.
constexpr int textureTableSize = 512;

// fileType values of loadNewTexture.
constexpr int textureFileFromName = -1;
constexpr int textureFileRAW = 0;
constexpr int textureFileBMP = 1;
constexpr int textureFileJPG = 2;

// Side of the scratch texture that the main loop creates.
constexpr int scratchTextureSize = 512;

class Texture {
public:
    GLuint name = 0;
    GLenum wrapS = GL_REPEAT;
    GLenum wrapT = GL_REPEAT;
    GLenum magFilter = GL_LINEAR;
    GLenum minFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLenum envMode = GL_MODULATE;
    GLenum target = GL_TEXTURE_2D;
    // False until an image has been uploaded; binding an unloaded texture does nothing.
    bool loaded = false;

    // Binds the texture to its target, enabling that target first when it is
    // not the one the manager last enabled. Nothing when not loaded.
    void bind();
    // Binds, then stores and applies each non-zero argument (wrap modes,
    // filters, and the texture environment mode); a zero leaves that setting.
    // An unloaded texture only stores them: GL is not touched.
    void setParameters(GLenum newWrapS, GLenum newWrapT, GLenum newMagFilter, GLenum newMinFilter,
                       GLenum newEnvMode);
    // Uploads a square image as the texture's 2D image, with mipmaps when
    // either filter is neither GL_NEAREST nor GL_LINEAR. format and
    // internalFormat 0 are derived from the image's channels. False, with GL
    // untouched, when the image is empty or not square or format does not
    // match its channels; the texture is then left as it was.
    bool upload(const Image& image, GLenum newMagFilter, GLenum newMinFilter, GLenum format = 0,
                GLenum internalFormat = 0);
};

class TextureManager : public Singleton<TextureManager> {
public:
    // Entries handed out so far.
    int count = 0;
    // The target last enabled by Texture::bind; 0 when none.
    int enabledTarget = 0;
    Texture textures[textureTableSize];

    TextureManager();
    virtual ~TextureManager();

    // Takes the next entry and loads the image file (or the image at the
    // stream's position when stream is not null) into it. fileType is one of
    // the textureFile* values; textureFileFromName reads it from the name's
    // extension. makeRGBA 1 expands a grey image to 4 channels first.
    // Returns the entry, not loaded when the type is unknown; null for RAW and
    // other types. Throws Exception when the image cannot be read or the
    // table is full.
    Texture* loadNewTexture(const char* fileName, GLenum magFilter = GL_LINEAR,
                            GLenum minFilter = GL_LINEAR_MIPMAP_LINEAR, int fileType = textureFileFromName,
                            int makeRGBA = 0, GLenum format = 0, GLenum internalFormat = 0,
                            FILE* stream = nullptr);
    // Takes the next entry and uploads image into it; returns the entry.
    // Throws Exception when the table is full.
    Texture* addImage(const Image& image, GLenum magFilter, GLenum minFilter, GLenum format = 0,
                      GLenum internalFormat = 0);
    // Deletes the GL names of every entry; entries are no longer loaded.
    void deleteAll();
    // Takes an entry for a scratchTextureSize square grey texture on the first
    // call; later calls do nothing.
    void createScratchTexture();

    // The scratch texture, null before createScratchTexture.
    Texture* scratchTexture() const { return scratch; }

    // The textureFile* value for the extension of fileName: a "." four
    // characters from the end followed by RAW, BMP or JPG in any case;
    // textureFileFromName (-1) for anything else.
    static int fileTypeFromName(const char* fileName);

private:
    Texture* takeEntry(const char* function);

    Texture* scratch = nullptr;
};

} // namespace Vantor
