// Test shader: a vertex stage only, drawn with fixed-function fragments.
void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
}
