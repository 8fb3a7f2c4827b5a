// Test shader: the vertex placed by the database matrix "placement", then by
// the GL modelview-projection.
uniform mat4 placement;

void main() {
    gl_Position = gl_ModelViewProjectionMatrix * (placement * gl_Vertex);
    gl_FrontColor = gl_Color;
}
