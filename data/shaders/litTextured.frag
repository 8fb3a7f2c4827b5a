// Per-pixel lit, textured surface: fragment stage, the GLSL twin of
// litTextured.fp. Colour = texture * lightDiffuse * max(N.L, 0)
// + lightSpecular * max(N.H, 0)^16, the specular term only where N.L > 0.
// The texture is on unit 0.
uniform vec4 lightDiffuse;
uniform vec4 lightSpecular;
uniform sampler2D diffuseMap;

varying vec3 normal;
varying vec3 toLight;
varying vec3 toEye;

const float specularExponent = 16.0;

void main() {
    vec4 texel = texture2D(diffuseMap, gl_TexCoord[0].st);
    vec3 n = normalize(normal);
    vec3 l = normalize(toLight);
    vec3 h = normalize(l + normalize(toEye));
    float diffuse = max(dot(n, l), 0.0);
    float specular = diffuse > 0.0 ? pow(max(dot(n, h), 0.0), specularExponent) : 0.0;
    vec4 colour = texel * lightDiffuse;
    gl_FragColor = vec4(colour.rgb * diffuse + lightSpecular.rgb * specular, colour.a);
}
