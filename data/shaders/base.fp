!!ARBfp1.0
# Base pass of surfaces lit per light: fragment stage. Colour = texture *
# vertex colour * the light model's ambient colour, the light that reaches
# every surface, shadowed or not; the light passes add to it.
PARAM ambient = state.lightmodel.ambient;
TEMP texel, colour;
TEX texel, fragment.texcoord[0], texture[0], 2D;
MUL colour, texel, fragment.color;
MUL result.color.xyz, colour, ambient;
MOV result.color.w, colour.w;
END
