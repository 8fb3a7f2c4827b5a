!!ARBfp1.0
# Base pass of surfaces lit per light: fragment stage. Colour = texture *
# vertex colour * (the city's ambient light + the texture's glow), the light
# that reaches every surface, shadowed or not; the light passes add to it.
# The ambient light is the colour of the city's scene "ambient" (which lights
# the meshes that are not lit per light, in the ambient pass). A texture's alpha tells its glow: 1 - alpha, so lit windows
# shine on their own and textures without alpha (alpha 1) do not glow. The
# sum is held at 1: a glowing texel shows its own colour, never brighter.
PARAM ambient = { 0.26, 0.25, 0.36, 1.0 };
PARAM one = { 1.0, 1.0, 1.0, 1.0 };
TEMP texel, colour, light;
TEX texel, fragment.texcoord[0], texture[0], 2D;
MUL colour, texel, fragment.color;
SUB light, one, texel.w;
ADD light, light, ambient;
MIN light, light, one;
MUL result.color.xyz, colour, light;
MOV result.color.w, colour.w;
END
