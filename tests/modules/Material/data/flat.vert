// Test shader: the fixed-function transform; the vertex colour passes through.
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
}
