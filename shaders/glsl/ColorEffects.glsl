// Colour effects over premultiplied colours, each of the form vec4 f(vec2 position, vec4 color, ...).
// A fragment source includes this file and calls them on what it draws.

// Each output channel is the dot product of its row with the input colour.
vec4 colorMatrixShader(vec2 position, vec4 color, vec4 r, vec4 g, vec4 b, vec4 a) {
    return vec4(dot(r, color), dot(g, color), dot(b, color), dot(a, color));
}

// Marks colours outside 0...1 magenta, passes the others.
vec4 outsideSRGBShader(vec2 position, vec4 color) {
    bool inside = all(greaterThanEqual(color, vec4(0.0))) && all(lessThanEqual(color, vec4(1.0)));
    return inside ? color : vec4(color.a, 0.0, color.a, color.a);
}

// Linear extended sRGB to linear Display P3.
vec3 linearSRGBToP3(vec3 c) {
    return c * mat3(vec3(0.8224621, 0.1775380, 0.0),
                    vec3(0.0331941, 0.9668058, 0.0),
                    vec3(0.0170827, 0.0723974, 0.9105199));
}

// Marks colours that Display P3 cannot show magenta, passes the others.
vec4 outsideP3Shader(vec2 position, vec4 color) {
    vec3 p3 = linearSRGBToP3(color.rgb);
    bool inside = all(greaterThanEqual(p3, vec3(-1e-4))) && all(lessThanEqual(p3, vec3(color.a + 1e-4)));
    return inside ? color : vec4(color.a, 0.0, color.a, color.a);
}

vec4 clampSRGBShader(vec2 position, vec4 color) {
    return clamp(color, 0.0, 1.0);
}
