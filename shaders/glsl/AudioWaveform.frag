// The strip behind the product name: a living audio waveform. A row of mirrored level bars (the look
// of a recording's overview) breathes under three glowing oscillating traces whose harmonics, speeds
// and phases come from the seed. Transients travel through both from right to left. The middle,
// where the name sits, is kept calmer. Output is linear light; the glow may exceed 1.
uniform vec2 viewportSize; // pixels
uniform uint seed;
uniform float time; // seconds, without pauses

in vec2 uv;
out vec4 fragColor;

const float TAU = 6.28318530718;

uint hash(uint n) {
    uint state = n * 747796405u + 2891336453u;
    uint word = ((state >> ((state >> 28u) + 4u)) ^ state) * 277803737u;
    return (word >> 22u) ^ word;
}

// A value in 0...1 fixed by the seed and n.
float random(uint n) {
    return float(hash(seed ^ hash(n))) / 4294967295.0;
}

// Smooth value noise in 0...1 along one axis; salt picks an independent curve.
float noise(float x, uint salt) {
    float cell = floor(x);
    float f = x - cell;
    uint i = uint(int(cell) & 0x7fffffff);
    float a = random(hash(i) ^ salt);
    float b = random(hash(i + 1u) ^ salt);
    return mix(a, b, f * f * (3.0 - 2.0 * f));
}

// How loud the signal is at x (0...1 across the strip): slow swells, faster detail and transients
// that travel to the left.
float loudness(float x) {
    float swell = noise(x * 3.0 + time * 0.23, 11u);
    float detail = noise(x * 19.0 - time * 1.7, 23u);
    float beat = fract(x * 1.35 + time * 0.42 + random(5u));
    float transient = exp(-beat * 7.0);
    return clamp(0.22 + 0.45 * swell * (0.55 + 0.45 * detail) + 0.38 * transient, 0.0, 1.0);
}

void main() {
    vec2 size = max(viewportSize, vec2(1.0));
    vec2 pixel = uv * size;
    float x = uv.x;
    float y = uv.y * 2.0 - 1.0; // -1 at the top, 1 at the bottom
    float unit = size.y / 300.0; // one point of the 300-point strip, in pixels

    // The ends of the strip fade out like a waveform's silent lead-in and tail.
    float edges = smoothstep(0.0, 0.12, x) * smoothstep(1.0, 0.88, x);
    vec2 fromCentre = vec2((x - 0.5) / 0.27, y / 0.22);
    float centre = exp(-dot(fromCentre, fromCentre));
    // One level for the column serves the bars and the traces alike.
    float level = loudness(x) * edges;

    vec3 colour = mix(vec3(0.004, 0.002, 0.014), vec3(0.03, 0.01, 0.065), exp(-y * y * 2.5));

    // Mirrored level bars.
    float pitch = 4.0 * unit;
    float inBar = step(fract(pixel.x / pitch), 0.62);
    float barTop = 0.62 * level;
    float barShape = smoothstep(barTop + 1.5 / size.y, barTop, abs(y)) * inBar;
    float barGlow = mix(1.0, 0.35, abs(y) / max(barTop, 1e-3));
    colour += barShape * barGlow * mix(vec3(0.05, 0.09, 0.28), vec3(0.22, 0.05, 0.26), x);

    // Three traces with audio-like harmonics.
    for (int k = 0; k < 3; ++k) {
        uint s = uint(k) * 7u;
        float frequency = 1.6 + 2.8 * random(s + 1u);
        float phase = TAU * random(s + 2u) + time * (0.5 + 0.9 * random(s + 3u));
        float wobble = 0.75 + 0.25 * sin(time * (0.31 + 0.2 * random(s + 4u)) + TAU * random(s + 5u));
        float amplitude = (0.5 - 0.1 * float(k)) * wobble * level;
        float wave = sin(TAU * frequency * x + phase) + 0.45 * sin(TAU * 2.03 * frequency * x - 1.3 * phase) +
                     0.2 * sin(TAU * 5.1 * frequency * x + 2.1 * phase) +
                     0.12 * (noise(x * 70.0 - time * 6.0, s + 6u) - 0.5);
        float distance = abs(y - amplitude * wave / 1.6) * size.y * 0.5;
        float across = distance / (1.1 * unit);
        float core = exp(-across * across);
        float halo = 0.3 * exp(-distance / (9.0 * unit));
        vec3 tint = k == 0 ? vec3(0.25, 0.6, 1.6) : (k == 1 ? vec3(1.3, 0.32, 0.95) : vec3(0.6, 0.38, 1.5));
        colour += tint * (core + halo) * (0.9 - 0.2 * float(k));
    }

    // Calmer behind the name.
    colour *= 1.0 - 0.5 * centre;
    fragColor = vec4(colour, 1.0);
}
