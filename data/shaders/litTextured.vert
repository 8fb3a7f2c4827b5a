// Per-pixel lit, textured surface: vertex stage, one light per pass. The
// GLSL twin of litTextured.vp, with the same parameters: the pass's object
// shader writes "objectLightPosition", the light in the mesh's own space; the
// eye is placed relative to it by the world-space offset from "lightPosition"
// to "eyePosition" (exact while the model matrix does not rotate or scale the
// mesh). The position matches fixed function, so light passes meet the depth
// of the base pass.
uniform vec4 objectLightPosition;
uniform vec4 lightPosition;
uniform vec4 eyePosition;

varying vec3 normal;
varying vec3 toLight;
varying vec3 toEye;

void main() {
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    normal = gl_Normal;
    toLight = objectLightPosition.xyz - gl_Vertex.xyz;
    toEye = objectLightPosition.xyz + (eyePosition.xyz - lightPosition.xyz) - gl_Vertex.xyz;
}
