// Test shader: the colour is the database vector "tint" scaled by the
// database float "brightness".
uniform vec4 tint;
uniform float brightness;

void main() {
    gl_FragColor = tint * brightness;
}
