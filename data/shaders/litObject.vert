// Per-pixel lit, textured surface of a moving mesh: vertex stage, one light
// per pass, feeding litTextured.frag. The pass's object shader
// (objectLightEye.ds) carries both the light and the eye into the mesh's own
// space, so the lighting stays right however the model matrix turns the
// mesh. The position matches fixed function, so light passes meet the depth
// of the base pass.
uniform vec4 objectLightPosition;
uniform vec4 objectEyePosition;

varying vec3 normal;
varying vec3 toLight;
varying vec3 toEye;

void main() {
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    normal = gl_Normal;
    toLight = objectLightPosition.xyz - gl_Vertex.xyz;
    toEye = objectEyePosition.xyz - gl_Vertex.xyz;
}
