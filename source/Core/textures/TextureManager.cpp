// The texture table: entry hand-out, image upload and binding.
//
// Entries are consumed in order even when their load fails, and a load past
// the last entry throws instead of writing beyond the table. An entry is
// loaded only once an image has really been uploaded into it.
#include "Core/textures/TextureManager.h"

#include "Core/WinAppFramework/Exception.h"
#include "Core/platform/File.h"

#include <GL/glu.h>

#include <cctype>
#include <cstring>

namespace Vantor {

namespace {

const char* const sourceFile = "source\\Core\\textures\\TextureManager";
const char* const loadFunction = "Vantor::TextureManager::loadNewTexture";
constexpr int loadErrorLine = 259;
constexpr int extensionLength = 3;

// The bytes per pixel that format describes; 0 for a format upload does not take.
int formatChannels(GLenum format) {
    switch (format) {
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_INTENSITY:
        return 1;
    case GL_LUMINANCE_ALPHA:
        return 2;
    case GL_RGB:
    case GL_BGR:
        return 3;
    case GL_RGBA:
    case GL_BGRA:
        return 4;
    default:
        return 0;
    }
}

GLenum formatFromChannels(int channels) {
    switch (channels) {
    case 1:
        return GL_LUMINANCE;
    case 3:
        return GL_RGB;
    case 4:
        return GL_RGBA;
    default:
        return 0;
    }
}

GLenum internalFormatFrom(GLenum format, int channels) {
    switch (format) {
    case GL_ALPHA:
        return GL_ALPHA8;
    case GL_RGB:
        return GL_RGB8;
    case GL_RGBA:
        return GL_RGBA8;
    case GL_LUMINANCE:
        return GL_LUMINANCE8;
    default:
        return GLenum(channels);
    }
}

bool isPlainFilter(GLenum filter) { return filter == GL_NEAREST || filter == GL_LINEAR; }

void clearGLErrors() {
    // Bounded: without a current context glGetError may never report success.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

void Texture::bind() {
    if (!loaded)
        return;
    int& enabled = TextureManager::getInstance()->enabledTarget;
    if (int(target) != enabled) {
        if (enabled != 0)
            glDisable(GLenum(enabled));
        enabled = int(target);
        if (enabled != 0)
            glEnable(target);
    }
    glBindTexture(target, name);
}

void Texture::setParameters(GLenum newWrapS, GLenum newWrapT, GLenum newMagFilter, GLenum newMinFilter,
                            GLenum newEnvMode) {
    // Without an image of its own nothing is bound for this texture, and the
    // GL calls would change whichever texture is bound instead.
    const bool apply = loaded;
    bind();
    if (newWrapS) {
        wrapS = newWrapS;
        if (apply)
            glTexParameteri(target, GL_TEXTURE_WRAP_S, GLint(wrapS));
    }
    if (newWrapT) {
        wrapT = newWrapT;
        if (apply)
            glTexParameteri(target, GL_TEXTURE_WRAP_T, GLint(wrapT));
    }
    if (newMagFilter) {
        magFilter = newMagFilter;
        if (apply)
            glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GLint(magFilter));
    }
    if (newMinFilter) {
        minFilter = newMinFilter;
        if (apply)
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    }
    if (newEnvMode) {
        envMode = newEnvMode;
        if (apply)
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GLint(envMode));
    }
}

bool Texture::upload(const Image& image, GLenum newMagFilter, GLenum newMinFilter, GLenum format,
                     GLenum internalFormat) {
    if (format == 0)
        format = formatFromChannels(image.channels);
    if (internalFormat == 0)
        internalFormat = internalFormatFrom(format, image.channels);
    if (image.width != image.height || image.width <= 0 || image.width > maxImageDimension || !image.data)
        return false;
    // GL reads width * width pixels of the format's size from data: they must be there.
    if (formatChannels(format) == 0 || formatChannels(format) != image.channels ||
        image.size != image.width * image.height * image.channels)
        return false;
    const bool mipmaps = !isPlainFilter(newMinFilter) || !isPlainFilter(newMagFilter);

    const bool wasLoaded = loaded;
    loaded = true;
    bind();
    clearGLErrors();
    setParameters(GL_REPEAT, GL_REPEAT, newMagFilter, newMinFilter, GL_MODULATE);
    clearGLErrors();

    // Rows are packed without padding, whatever the width.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    bool uploaded = true;
    if (mipmaps)
        uploaded = gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(internalFormat), image.width, image.width, format,
                                     GL_UNSIGNED_BYTE, image.data) == 0;
    else
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat), image.width, image.width, 0, format,
                     GL_UNSIGNED_BYTE, image.data);
    glPopClientAttrib();
    if (!uploaded) {
        loaded = wasLoaded;
        return false;
    }

    setParameters(GL_REPEAT, GL_REPEAT, newMagFilter, newMinFilter, GL_MODULATE);
    return true;
}

TextureManager::TextureManager() {
    GLuint names[textureTableSize] = {};
    glGenTextures(textureTableSize, names);
    for (int i = 0; i < textureTableSize; ++i)
        textures[i].name = names[i];
}

// The GL context is gone by the time singletons are deleted: names are
// released by deleteAll, not here.
TextureManager::~TextureManager() = default;

Texture* TextureManager::takeEntry(const char* function) {
    if (count >= textureTableSize) {
        String message;
        message.appendFormat("Texture table full: all %d textures are in use", textureTableSize);
        throw Exception(message, function, sourceFile, __LINE__);
    }
    return &textures[count++];
}

int TextureManager::fileTypeFromName(const char* fileName) {
    if (!fileName)
        return textureFileFromName;
    const size_t length = std::strlen(fileName);
    if (length < extensionLength + 1 || fileName[length - extensionLength - 1] != '.')
        return textureFileFromName;
    char extension[extensionLength + 1] = {};
    for (int i = 0; i < extensionLength; ++i)
        extension[i] = char(std::toupper(static_cast<unsigned char>(fileName[length - extensionLength + i])));
    const char* const known[] = {"RAW", "BMP", "JPG"};
    for (int type = 0; type < 3; ++type)
        if (std::strcmp(extension, known[type]) == 0)
            return type;
    return textureFileFromName;
}

Texture* TextureManager::loadNewTexture(const char* fileName, GLenum magFilter, GLenum minFilter,
                                        int fileType, int makeRGBA, GLenum format, GLenum internalFormat,
                                        FILE* stream) {
    Texture* texture = takeEntry(loadFunction);
    if (fileType == textureFileFromName)
        fileType = fileTypeFromName(fileName);
    if (fileType == textureFileFromName)
        return texture;

    Image image;
    bool read = false;
    if (fileType == textureFileBMP) {
        read = stream ? image.loadBMP(stream) : image.loadBMP(fileName);
    } else if (fileType == textureFileJPG) {
        // JPEG images are not decoded: the entry stays empty and not loaded.
        if (stream) {
            showMessage("embedded JPG loading not yet supported");
            read = true;
        } else if (FILE* file = platform::openFile(fileName, "rb")) {
            std::fclose(file);
            read = true;
        }
    } else {
        return nullptr;
    }
    if (!read)
        throw Exception("Error loading texture image", loadFunction, sourceFile, loadErrorLine);

    if (makeRGBA == 1)
        image.expandChannels(4);
    texture->upload(image, magFilter, minFilter, format, internalFormat);
    return texture;
}

Texture* TextureManager::addImage(const Image& image, GLenum magFilter, GLenum minFilter, GLenum format,
                                  GLenum internalFormat) {
    Texture* texture = takeEntry("Vantor::TextureManager::addImage");
    texture->upload(image, magFilter, minFilter, format, internalFormat);
    return texture;
}

void TextureManager::deleteAll() {
    GLuint names[textureTableSize];
    for (int i = 0; i < textureTableSize; ++i) {
        names[i] = textures[i].name;
        textures[i].loaded = false;
    }
    glDeleteTextures(textureTableSize, names);
}

void TextureManager::createScratchTexture() {
    if (scratch)
        return;
    Image blank;
    blank.allocate(1, scratchTextureSize, scratchTextureSize);
    std::memset(blank.data, 0, size_t(blank.size));
    scratch = takeEntry("Vantor::TextureManager::createScratchTexture");
    scratch->upload(blank, GL_LINEAR, GL_LINEAR);
}

} // namespace Vantor
