// SkyBox: six textured squares drawn around the eye.
//
// The box is drawn with the current camera's rotation only, so it stays
// centred on the eye whatever the camera's position; it is drawn first and,
// without depth testing, everything else covers it. Face i is the square at
// z = -halfSize turned by its face rotation (skyBoxFaceRotations), textures
// (0, 0) to (1, 1) running from (halfSize, -halfSize) to (-halfSize, halfSize)
// of the square: faces 0 and 1 look along -x and +x, 2 and 3 down and up,
// 4 and 5 along -z and +z. Images are made to be seen from inside the box in
// that layout (tools/SkyGenerator.cpp).
#pragma once

namespace Vantor {

class Texture;

constexpr int skyBoxFaceCount = 6;
constexpr float skyBoxDefaultHalfSize = 2000.0f;
// The character of a file name pattern that stands for the face digit.
constexpr char skyBoxPatternMark = '*';

struct SkyBoxFaceRotation {
    float angle;
    float x, y, z;
};
// The rotation (degrees about an axis) that takes the square at z = -halfSize to each face.
constexpr SkyBoxFaceRotation skyBoxFaceRotations[skyBoxFaceCount] = {
    {90, 0, 1, 0}, {-90, 0, 1, 0}, {-90, 1, 0, 0}, {90, 1, 0, 0}, {0, 0, 1, 0}, {180, 0, 1, 0},
};

class SkyBox {
public:
    // Set to 0 by load; not otherwise used.
    unsigned char flags = 0;
    Texture* faces[skyBoxFaceCount] = {};
    // Not used by the drawing.
    Texture* spareTexture = nullptr;
    int spareCount = 1;
    float halfSize = skyBoxDefaultHalfSize;

    SkyBox() = default;

    // Loads the six faces from pattern, a file name whose first "*" is replaced
    // by the digits 0 to 5 in face order. Without a "*" shows a message, leaves
    // the faces as they are and returns false. A missing face image throws the
    // texture manager's Exception.
    bool load(const char* pattern);
    // Draws the faces around the eye of currentCamera (or of the identity view
    // when there is none); with depthTest false, depth is neither tested nor
    // written. Faces not loaded are left out. GL state is restored, except the
    // current colour (white) and the cull face (GL_BACK).
    void render(bool depthTest);
};

} // namespace Vantor
