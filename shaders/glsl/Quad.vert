// The full-view quad: four clip-space corners drawn as a triangle strip. uv runs from (0, 0) at the
// top left to (1, 1) at the bottom right.
in vec2 position;
out vec2 uv;

void main() {
    uv = vec2(position.x * 0.5 + 0.5, 0.5 - position.y * 0.5);
    gl_Position = vec4(position, 0.0, 1.0);
}
