!!ARBfp1.0
# Per-pixel lit, normal-mapped, textured surface: fragment stage, one light
# per pass (the passes are added up). The colour texture is on unit 0, the
# tangent-space normal map (each component stored as (c + 1) / 2) on unit 1.
# Colour = texture * "lightDiffuse" * max(N.L, 0) + "lightSpecular" *
# max(N.H, 0)^16 where N.L > 0, both faded by max(1 - d^2 / range^2, 0) at
# distance d from the light ("lightRange" = (range, 1 / range, 1 / range^2, 0);
# all zeros: no fade). A texel that glows (alpha below 1, see base.fp) is lit
# from inside: both terms are scaled by its alpha. Inputs as normalMapped.vp
# writes them.
#var float4 lightDiffuse :  : c[0] : 1 : 1
#var float4 lightSpecular :  : c[1] : 2 : 1
#var float4 lightRange :  : c[2] : 3 : 1
#var sampler2D diffuseMap :  : texunit 0 : 4 : 1
#var sampler2D normalMap :  : texunit 1 : 5 : 1
PARAM lightDiffuse = program.local[0];
PARAM lightSpecular = program.local[1];
PARAM lightRange = program.local[2];
PARAM constants = { 2.0, -1.0, 16.0, 1.0 };
TEMP texel, n, l, v, h, terms, colour;
TEX texel, fragment.texcoord[0], texture[0], 2D;
TEX n, fragment.texcoord[0], texture[1], 2D;
MAD n.xyz, n, constants.x, constants.y;
DP3 n.w, n, n;
RSQ n.w, n.w;
MUL n.xyz, n, n.w;
DP3 l.w, fragment.texcoord[1], fragment.texcoord[1];
MUL terms.w, l.w, lightRange.z;
SUB_SAT terms.w, constants.w, terms.w;
RSQ l.w, l.w;
MUL l.xyz, fragment.texcoord[1], l.w;
DP3 v.w, fragment.texcoord[2], fragment.texcoord[2];
RSQ v.w, v.w;
MUL v.xyz, fragment.texcoord[2], v.w;
ADD h.xyz, l, v;
DP3 h.w, h, h;
RSQ h.w, h.w;
MUL h.xyz, h, h.w;
DP3_SAT terms.x, n, l;
DP3_SAT terms.y, n, h;
POW terms.y, terms.y, constants.z;
SLT terms.z, 0.0, terms.x;
MUL terms.y, terms.y, terms.z;
MUL terms.w, terms.w, texel.w;
MUL terms.xy, terms, terms.w;
MUL colour, texel, lightDiffuse;
MUL colour.xyz, colour, terms.x;
MAD result.color.xyz, lightSpecular, terms.y, colour;
MOV result.color.w, colour.w;
END
