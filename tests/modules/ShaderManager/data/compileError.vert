// Test shader: does not compile (undeclared name).
void main() {
    gl_Position = undeclaredPosition;
}
