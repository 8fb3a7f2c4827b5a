// Test shader: every fragment takes the database vector "surfaceColour".
uniform vec4 surfaceColour;

void main() {
    gl_FragColor = surfaceColour;
}
