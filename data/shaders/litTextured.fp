!!ARBfp1.0
# Per-pixel lit, textured surface: fragment stage, one light per pass (the
# passes are added up). Colour = texture * "lightDiffuse" * max(N.L, 0)
# + "lightSpecular" * max(N.H, 0)^16, the specular term only where the light
# reaches the surface (N.L > 0), both faded out towards the light's range:
# times max(1 - d^2 / range^2, 0) at distance d, where "lightRange" holds
# (range, 1 / range, 1 / range^2, 0); a light without a range has all zeros
# there and does not fade. A texel that glows (alpha below 1, see base.fp)
# is lit from inside: both terms are scaled by its alpha. Alpha = texture
# alpha * light diffuse alpha.
# Inputs as litTextured.vp writes them; the texture is on unit 0.
#var float4 lightDiffuse :  : c[0] : 1 : 1
#var float4 lightSpecular :  : c[1] : 2 : 1
#var float4 lightRange :  : c[2] : 3 : 1
#var sampler2D diffuseMap :  : texunit 0 : 4 : 1
PARAM lightDiffuse = program.local[0];
PARAM lightSpecular = program.local[1];
PARAM lightRange = program.local[2];
PARAM exponent = { 16.0, 0.0, 1.0, 0.0 };
TEMP texel, n, l, v, h, terms, colour;
TEX texel, fragment.texcoord[0], texture[0], 2D;
DP3 n.w, fragment.texcoord[1], fragment.texcoord[1];
RSQ n.w, n.w;
MUL n.xyz, fragment.texcoord[1], n.w;
DP3 l.w, fragment.texcoord[2], fragment.texcoord[2];
MUL terms.w, l.w, lightRange.z;
SUB_SAT terms.w, exponent.z, terms.w;
RSQ l.w, l.w;
MUL l.xyz, fragment.texcoord[2], l.w;
DP3 v.w, fragment.texcoord[3], fragment.texcoord[3];
RSQ v.w, v.w;
MUL v.xyz, fragment.texcoord[3], v.w;
ADD h.xyz, l, v;
DP3 h.w, h, h;
RSQ h.w, h.w;
MUL h.xyz, h, h.w;
DP3_SAT terms.x, n, l;
DP3_SAT terms.y, n, h;
POW terms.y, terms.y, exponent.x;
SLT terms.z, exponent.y, terms.x;
MUL terms.y, terms.y, terms.z;
MUL terms.w, terms.w, texel.w;
MUL terms.xy, terms, terms.w;
MUL colour, texel, lightDiffuse;
MUL colour.xyz, colour, terms.x;
MAD result.color.xyz, lightSpecular, terms.y, colour;
MOV result.color.w, colour.w;
END
