// The six switches: a row of discs, warm when on, smaller and darker while held down; every switch-on
// sends a ring outwards from its disc that fades with age (the newest six are remembered).
uniform vec2 viewportSize;
uniform float time;
uniform float scale; // pixels per point
uniform float switchOnState[6];
uniform float switchDownState[6];
uniform float switchHistory[6];     // switch index or -1, newest first
uniform float switchHistoryTime[6]; // the time of each entry

in vec2 uv;
out vec4 fragColor;

vec2 centreOf(int i, vec2 size) {
    return vec2((float(i) + 0.5) / 6.0 * size.x, 0.5 * size.y);
}

void main() {
    vec2 size = max(viewportSize, vec2(1.0));
    vec2 p = uv * size;
    float px = max(scale, 1.0);
    float radius = 0.3 * min(size.x / 6.0, size.y);
    vec3 colour = mix(vec3(0.012, 0.01, 0.02), vec3(0.03, 0.02, 0.04), uv.y);

    for (int i = 0; i < 6; ++i) {
        float down = switchDownState[i];
        float r = radius * (down > 0.5 ? 0.92 : 1.0);
        float disc = smoothstep(r + px, r - px, length(p - centreOf(i, size)));
        vec3 tint = switchOnState[i] > 0.5 ? vec3(1.2, 0.7, 0.2) : vec3(0.08);
        colour = mix(colour, tint * (down > 0.5 ? 0.7 : 1.0), disc);
    }

    for (int j = 0; j < 6; ++j) {
        float index = switchHistory[j];
        float age = time - switchHistoryTime[j];
        if (index < 0.0 || index > 5.5 || age < 0.0) {
            continue;
        }
        float ringRadius = radius + 120.0 * px * age;
        float strength = exp(-2.5 * age) * (1.0 - float(j) / 6.0);
        float d = length(p - centreOf(int(index + 0.5), size)) - ringRadius;
        colour += vec3(1.0, 0.6, 0.2) * exp(-pow(d / (2.0 * px), 2.0)) * strength;
    }
    fragColor = vec4(colour, 1.0);
}
