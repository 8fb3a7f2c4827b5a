// The GL edge of meshes: vertex-array construction, the hardware skinning
// palette and drawing in the three render modes.
#include "modules/model/Mesh.h"

#include "Core/WinAppFramework/Exception.h"
#include "modules/Material/Material.h"
#include "modules/ShaderManager/ShaderManager.h"
#include "modules/model/MeshCore.h"
#include "modules/model/Model.h"
#include "modules/occlusion/OcclusionCuller.h"

#include <GL/glew.h>

namespace Vantor {

namespace {

const char* const hardwareSkinName = "Vantor::Mesh::hardwareSkin";
const char* const meshSourceFile = "source\\modules\\model\\Mesh";
constexpr int lineHardwareSkinCheck = 508;
constexpr int kPaletteFloatsPerBone = kPaletteRowsPerBone * 4;

// The bone palette every hardware-skinned mesh uploads from, in turn.
float palette[kMaxHardwareBones * kPaletteFloatsPerBone];

ProgramObject* programAt(int index) {
    ShaderManager* manager = ShaderManager::getInstance();
    if (index <= 0 || unsigned(index) >= manager->programs.size)
        return nullptr;
    return &manager->programs[unsigned(index)];
}

} // namespace

void Mesh::buildVertexArray() {
    if (!visible || vertices.size == 0)
        return;
    const bool texCoords = (flags & kMeshHasTexCoords) != 0;
    int arrays = VertexArray::normalArray;
    if (texCoords)
        arrays |= VertexArray::texCoordArray;
    if ((flags & kMeshSkinned) && skinProgram != 0) {
        hardwareSkinning = true;
        arrays |= VertexArray::texCoordArray;
    }

    VAObject* array = new VAObject;
    vertexArray = array;
    array->create(int(vertices.size), arrays, texCoords ? 1 : 0, true, false);
    if (hardwareSkinning) {
        weightSet = kBoneWeightSet;
        indexSet = kBoneIndexSet;
        array->addTexCoordSet(kUnusedSkinSet, 2);
        array->addTexCoordSet(weightSet, 4);
        array->addTexCoordSet(indexSet, 4);
    }

    float* positions = reinterpret_cast<float*>(array->block.data + array->positionOffset);
    float* normals = reinterpret_cast<float*>(array->block.data + array->normalOffset);
    for (unsigned i = 0; i < vertices.size; ++i) {
        const Vertex& v = vertices[i];
        positions[3 * i] = v.position.x;
        positions[3 * i + 1] = v.position.y;
        positions[3 * i + 2] = v.position.z;
        normals[3 * i] = v.normal.x;
        normals[3 * i + 1] = v.normal.y;
        normals[3 * i + 2] = v.normal.z;
        if (texCoords) {
            const float uv[2] = {v.u, v.v};
            array->setTexCoord(int(i), 0, uv);
        }
    }

    if (needsTangents) {
        ArrayList<Vector3> tangents, binormals;
        generateTangents(vertices, triangles, tangents, binormals);
        array->addTexCoordSet(kTangentSet, 3);
        array->addTexCoordSet(kTangentSet + 1, 3);
        for (unsigned i = 0; i < vertices.size; ++i) {
            array->setTexCoord(int(i), kTangentSet, &tangents[i].x);
            array->setTexCoord(int(i), kTangentSet + 1, &binormals[i].x);
        }
    }

    if (hardwareSkinning) {
        for (const SkinVertex& skin : skinVertices) {
            float rows[kInfluencesPerVertex] = {};
            float weights[kInfluencesPerVertex] = {};
            for (unsigned j = 0; j < skin.influences.size && j < unsigned(kInfluencesPerVertex); ++j) {
                rows[j] = float(skin.influences[j].bone * kPaletteRowsPerBone);
                weights[j] = skin.influences[j].weight;
            }
            for (int ref : skin.vertexRefs) {
                array->setTexCoord(ref, indexSet, rows);
                array->setTexCoord(ref, weightSet, weights);
            }
        }
    }

    array->createIndexLists(1);
    VAIndexList& list = array->indexLists[0];
    list.mode = GL_TRIANGLES;
    list.allocate(int(triangles.size) * 3);
    for (unsigned t = 0; t < triangles.size; ++t)
        for (int c = 0; c < 3; ++c)
            list.indices[3 * t + unsigned(c)] = GLuint(triangles[t].v[c]);
    if (!hardwareSkinning)
        skinProgram = 0;
    array->upload();
}

void Mesh::hardwareSkin() {
    const unsigned boneCount = bones.size < unsigned(kMaxHardwareBones) ? bones.size : unsigned(kMaxHardwareBones);
    for (unsigned i = 0; i < boneCount; ++i) {
        Matrix4 rows = bones[i]->skinMatrix;
        rows.transpose();
        for (int k = 0; k < kPaletteFloatsPerBone; ++k)
            palette[i * kPaletteFloatsPerBone + unsigned(k)] = rows.m[k];
    }
    ProgramObject* program = programAt(skinProgram);
    if (!program)
        return;
    program->bind();
    const int location = program->getParamLocation("boneMatrix[0]");
    const int rowCount = int(boneCount) * kPaletteRowsPerBone;
    if (program->type == kProgramGLSL) {
        if (location != -1)
            glUniform4fvARB(location, rowCount, palette);
    } else {
        program->setParamArray(location, rowCount, 4, palette);
    }
    checkGLError(hardwareSkinName, meshSourceFile, lineHardwareSkinCheck);
}

void Mesh::addToOccluder(OcclusionCuller& culler, OcclusionMemo* memo) {
    VAObject* array = vertexArray.get();
    if (!array || array->indexListCount == 0 || array->indexLists[0].count == 0)
        return;
    // The drawn arrays themselves: packed positions, and the triangle list's
    // indices, which are all below the vertex count.
    const VAIndexList& list = array->indexLists[0];
    culler.addOccluderFromGL(boxMin, boxMax, reinterpret_cast<const int*>(list.indices), list.count,
                             reinterpret_cast<const float*>(array->block.data + array->positionOffset),
                             array->vertexCount, memo);
}

void Mesh::render(int mode, int light, int pass) {
    if (mode & kRenderPerLight) {
        const bool basePass = light < 0 && (flags & kMeshUnlitInBasePass);
        if (!(flags & kMeshLitPerLight) && !basePass)
            return;
        if (light >= 0) {
            const ShadowVolume* volume = shadowVolume(light);
            if (volume && !volume->active)
                return;
        }
    } else if ((mode & kRenderAmbient) && (flags & (kMeshLitPerLight | kMeshUnlitInBasePass))) {
        return;
    }
    const bool positionsOnly = (mode & kRenderPositionsOnly) != 0;
    if (skinVertices.size >= 2)
        computeBox();

    bool bindProgram = false;
    if (skinProgram != 0) {
        if (!positionsOnly) {
            glEnable(GL_TEXTURE_2D);
            bindProgram = true;
        }
        if (hardwareSkinning) {
            glEnable(GL_TEXTURE_2D);
            hardwareSkin();
            bindProgram = true;
        }
    }
    const bool skinned = (flags & kMeshSkinned) != 0;
    if (!skinned) {
        glPushMatrix();
        glMultMatrixf(world.m);
    }

    MeshInstance* instance = currentInstance();
    const ModelInstance* record = model ? model->instance() : nullptr;
    OcclusionCuller* culler = nullptr;
    if (record && (record->flags & kInstanceCullTest) == kInstanceCullTest)
        culler = record->occlusion;
    if (instance && culler && visible)
        instance->occluded = culler->isOccludedFromGL(boxMin, boxMax, nullptr, false, &instance->occlusionTest);
    const bool occluded = instance && instance->occluded;
    if (visible && vertexArray && !occluded) {
        ShaderManager* shaders = ShaderManager::getInstance();
        if (bindProgram)
            if (ProgramObject* program = programAt(skinProgram))
                program->bind();
        if (!positionsOnly) {
            glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT);
            if (material)
                material->apply(pass);
            if (flags & kMeshColourMaterial) {
                glEnable(GL_COLOR_MATERIAL);
                glDisable(GL_TEXTURE_2D);
            }
            glColor4fv(colour);
            shaders->beforeDraw();
        }
        vertexArray->draw(positionsOnly);
        if (culler && instance && instance->occluder)
            addToOccluder(*culler, &instance->occluderDrawn);
        // The attribute stack was pushed after the skinning program was
        // enabled, so popping it would enable the program again: unbind last.
        if (!positionsOnly)
            glPopAttrib();
        if (shaders->programActive)
            shaders->unbindCurrent();
    } else if (bindProgram || hardwareSkinning) {
        ShaderManager::getInstance()->unbindCurrent();
    }

    if (!skinned)
        glPopMatrix();
}

} // namespace Vantor
