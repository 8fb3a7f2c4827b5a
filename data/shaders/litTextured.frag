// Per-pixel lit, textured surface: fragment stage, the GLSL twin of
// litTextured.fp. Colour = texture * lightDiffuse * max(N.L, 0)
// + lightSpecular * max(N.H, 0)^16, the specular term only where N.L > 0,
// both faded by max(1 - d^2 / range^2, 0) at distance d from the light
// ("lightRange" = (range, 1 / range, 1 / range^2, 0); all zeros: no fade),
// and by the texel's alpha: a texel that glows (alpha below 1, see base.fp)
// is lit from inside. The texture is on unit 0.
uniform vec4 lightDiffuse;
uniform vec4 lightSpecular;
uniform vec4 lightRange;
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
    float fade = clamp(1.0 - dot(toLight, toLight) * lightRange.z, 0.0, 1.0) * texel.a;
    float diffuse = max(dot(n, l), 0.0) * fade;
    float specular = diffuse > 0.0 ? pow(max(dot(n, h), 0.0), specularExponent) * fade : 0.0;
    vec4 colour = texel * lightDiffuse;
    gl_FragColor = vec4(colour.rgb * diffuse + lightSpecular.rgb * specular, colour.a);
}
