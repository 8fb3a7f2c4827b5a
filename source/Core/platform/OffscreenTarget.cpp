// The framebuffer object an off-screen window draws into.
//
// SDL's offscreen video driver gives an EGL context on a pbuffer whose own
// buffers may lack depth or stencil; the engine draws into this object
// instead, bound for drawing and reading from creation to destruction, so
// everything above the platform sees it as the window's buffer. GL's entry
// points come from SDL, which loaded the driver: this layer has no extension
// loader of its own.
#include "Core/platform/SdlPlatform.h"

#include <SDL_opengl.h>

#include <string>

namespace Vantor::platform {

namespace {

struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
    bool loaded = false;

    template <class F>
    bool load(F& call, const char* name) {
        call = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
        return call != nullptr;
    }
    bool loadAll() {
        if (!loaded)
            loaded = load(genFramebuffers, "glGenFramebuffers") && load(deleteFramebuffers, "glDeleteFramebuffers") &&
                     load(bindFramebuffer, "glBindFramebuffer") && load(genRenderbuffers, "glGenRenderbuffers") &&
                     load(deleteRenderbuffers, "glDeleteRenderbuffers") &&
                     load(bindRenderbuffer, "glBindRenderbuffer") &&
                     load(renderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
                     load(framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
                     load(checkFramebufferStatus, "glCheckFramebufferStatus") &&
                     load(blitFramebuffer, "glBlitFramebuffer");
        return loaded;
    }
};

FramebufferCalls gl;

void release(OffscreenTarget& target) {
    if (target.framebuffer)
        gl.deleteFramebuffers(1, &target.framebuffer);
    if (target.resolveFramebuffer)
        gl.deleteFramebuffers(1, &target.resolveFramebuffer);
    const GLuint buffers[] = {target.colour, target.depthStencil, target.resolveColour};
    for (GLuint buffer : buffers)
        if (buffer)
            gl.deleteRenderbuffers(1, &buffer);
    target.framebuffer = target.resolveFramebuffer = 0;
    target.colour = target.depthStencil = target.resolveColour = 0;
}

// A framebuffer with a colour and (when depthStencil is given) a depth and
// stencil renderbuffer of the size and samples asked.
bool makeFramebuffer(GLuint& framebuffer, GLuint& colour, GLuint* depthStencil, int width, int height, int samples) {
    gl.genFramebuffers(1, &framebuffer);
    gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl.genRenderbuffers(1, &colour);
    gl.bindRenderbuffer(GL_RENDERBUFFER, colour);
    gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (depthStencil) {
        gl.genRenderbuffers(1, depthStencil);
        gl.bindRenderbuffer(GL_RENDERBUFFER, *depthStencil);
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, width, height);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, *depthStencil);
    }
    gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    return gl.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

} // namespace

bool allocateOffscreenTarget(OffscreenTarget& target, int width, int height, int samples, std::string& error) {
    if (!gl.loadAll()) {
        error = "the GL driver has no framebuffer objects";
        return false;
    }
    GLint maxSamples = 0, maxSize = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (samples > maxSamples) {
        error = std::to_string(samples) + " samples asked for; the driver gives at most " + std::to_string(maxSamples);
        return false;
    }
    if (width > maxSize || height > maxSize) {
        error = std::to_string(width) + "x" + std::to_string(height) + " asked for; the driver draws at most " +
                std::to_string(maxSize) + " pixels across";
        return false;
    }
    release(target);
    target.width = width;
    target.height = height;
    target.samples = samples;
    bool complete = true;
    if (samples > 1)
        complete = makeFramebuffer(target.resolveFramebuffer, target.resolveColour, nullptr, width, height, 0);
    complete = makeFramebuffer(target.framebuffer, target.colour, &target.depthStencil, width, height,
                               samples > 1 ? samples : 0) &&
               complete;
    glViewport(0, 0, width, height);
    if (!complete) {
        error = "the driver cannot draw into a " + std::to_string(width) + "x" + std::to_string(height) +
                " framebuffer with " + std::to_string(samples) + " samples";
        release(target);
        return false;
    }
    return true;
}

void releaseOffscreenTarget(OffscreenTarget& target) {
    if (gl.loaded)
        release(target);
}

void selectOffscreenRead(OffscreenTarget& target) {
    if (!target.resolveFramebuffer) {
        gl.bindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        return;
    }
    // A multisampled picture is resolved before it can be read.
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target.resolveFramebuffer);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    gl.blitFramebuffer(0, 0, target.width, target.height, 0, 0, target.width, target.height, GL_COLOR_BUFFER_BIT,
                       GL_NEAREST);
    gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, target.framebuffer);
    gl.bindFramebuffer(GL_READ_FRAMEBUFFER, target.resolveFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

void endOffscreenRead(OffscreenTarget& target) { gl.bindFramebuffer(GL_FRAMEBUFFER, target.framebuffer); }

} // namespace Vantor::platform
