// A small model with every kind of V3D record, built in memory for the
// loader tests, the skinning tests and the fuzz target's seeds: a textured
// root with a bone child and a skinned child, two materials (one with a
// normal map), two RAW textures and a motion of two tracks. Colours are
// multiples of 1/255 and every skin vertex has four influences, so a parse
// gives back exactly what was written.
#pragma once

#include "modules/model/Model.h"

namespace Vantor::test {

inline Vertex makeVertex(float x, float y, float z, float u, float v) {
    Vertex vertex;
    vertex.position = Vector3(x, y, z);
    vertex.normal = Vector3(0.0f, 0.0f, 1.0f);
    vertex.u = u;
    vertex.v = v;
    return vertex;
}

inline Triangle makeTriangle(int a, int b, int c) {
    Triangle t;
    t.v[0] = a;
    t.v[1] = b;
    t.v[2] = c;
    t.normal = Vector3(0.0f, 0.0f, 1.0f);
    return t;
}

inline SkinVertexBone influence(int bone, float weight) {
    SkinVertexBone b;
    b.bone = bone;
    b.weight = weight;
    return b;
}

inline Key makeKey(float qw, float qx, float qy, float qz, float x, float y, float z) {
    Key key;
    key.rotation = Quaternion(qw, qx, qy, qz);
    key.translation = Vector3(x, y, z);
    return key;
}

// A quad of two triangles in the z = 0 plane from (x0, y0) to (x1, y1).
inline void addQuad(Mesh& mesh, float x0, float y0, float x1, float y1) {
    const int base = int(mesh.vertices.size);
    mesh.vertices.add(makeVertex(x0, y0, 0, 0, 0));
    mesh.vertices.add(makeVertex(x1, y0, 0, 1, 0));
    mesh.vertices.add(makeVertex(x1, y1, 0, 1, 1));
    mesh.vertices.add(makeVertex(x0, y1, 0, 0, 1));
    mesh.triangles.add(makeTriangle(base, base + 1, base + 2));
    mesh.triangles.add(makeTriangle(base, base + 2, base + 3));
    mesh.boxMin = Vector3(x0, y0, 0);
    mesh.boxMax = Vector3(x1, y1, 0);
}

inline V3DContent makeSampleModel() {
    V3DContent content;

    Mesh root;
    root.id = 0;
    root.flags = kMeshHasTexCoords | kMeshCastsShadows | kMeshLitPerLight;
    root.materialIndex = 0;
    root.name = "body";
    root.bindKey = makeKey(1, 0, 0, 0, 1, 2, 3);
    root.colour[0] = 51 / 255.0f;
    root.colour[1] = 102 / 255.0f;
    root.colour[2] = 153 / 255.0f;
    root.colour[3] = 1.0f;
    root.planes.add(Plane(0, 0, 1, -2));
    addQuad(root, -1, -1, 1, 1);

    Mesh bone;
    bone.id = 1;
    bone.name = "bone";
    bone.visible = false;
    bone.materialIndex = -1;
    bone.bindKey = makeKey(0.70710677f, 0, 0, 0.70710677f, 0, 1, 0);

    Mesh skinned;
    skinned.id = 2;
    skinned.flags = kMeshSkinned | kMeshHasTexCoords;
    skinned.materialIndex = 1;
    skinned.name = "skin";
    addQuad(skinned, 0, 0, 1, 2);
    for (int v = 0; v < 4; ++v) {
        SkinVertex skin;
        const float upper = v >= 2 ? 0.75f : 0.25f;
        skin.influences.add(influence(1, upper));
        skin.influences.add(influence(0, 1.0f - upper));
        skin.influences.add(influence(0, 0.0f));
        skin.influences.add(influence(0, 0.0f));
        skin.vertexRefs.add(v);
        skinned.skinVertices.add(skin);
    }

    root.children.add(bone);
    root.children.add(skinned);
    content.roots.add(root);

    Material plain;
    plain.name = "plain";
    plain.shininess = 16.0f;
    plain.diffuse[0] = 204 / 255.0f;
    MatTex colourMap;
    colourMap.type = 0;
    colourMap.textureIndex = 0;
    colourMap.stored = 7;
    plain.textures.add(colourMap);
    content.materials.add(plain);

    Material bumpy;
    bumpy.name = "bumpy";
    bumpy.shininess = 2.0f;
    bumpy.auxValue = 0.5f;
    bumpy.auxColour[3] = 1.0f;
    bumpy.textures.add(colourMap);
    MatTex normalMap;
    normalMap.type = kNormalMapSlot;
    normalMap.textureIndex = 1;
    bumpy.textures.add(normalMap);
    content.materials.add(bumpy);

    Image rgb;
    rgb.allocate(3, 2, 2);
    for (int i = 0; i < rgb.size; ++i)
        rgb.data[i] = (unsigned char)(40 * i);
    content.textures.add(rgb);
    Image grey;
    grey.allocate(1, 4, 4);
    for (int i = 0; i < grey.size; ++i)
        grey.data[i] = (unsigned char)(i * 16);
    content.textures.add(grey);

    Motion motion;
    MotionTrack turn;
    turn.meshId = 1;
    for (int k = 0; k < 3; ++k)
        turn.keys.add(makeKey(1, 0, 0, 0, 0, float(k), 0));
    MotionTrack slide;
    slide.meshId = 0;
    for (int k = 0; k < 4; ++k)
        slide.keys.add(makeKey(1, 0, 0, 0, float(k), 0, 0));
    motion.tracks.add(turn);
    motion.tracks.add(slide);
    content.motions.add(motion);
    return content;
}

inline ArrayList<unsigned char> writeBytes(const V3DContent& content) {
    ByteWriter writer;
    writeV3D(content, writer);
    return writer.bytes;
}

} // namespace Vantor::test
