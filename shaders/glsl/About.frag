// The about panel: the logo, centred and fitted, drifting gently over a dark field of moving noise,
// with a highlight band sweeping across it now and then. Textures are sRGB, sampled as linear light.
uniform vec2 viewportSize;
uniform float time;
uniform sampler2D logoTexture;
uniform sampler2D noiseTexture;

in vec2 uv;
out vec4 fragColor;

void main() {
    vec2 size = max(viewportSize, vec2(1.0));
    float aspect = size.x / size.y;
    float grain = texture(noiseTexture, uv * vec2(aspect, 1.0) * 0.6 + time * vec2(0.02, 0.013)).r;
    vec2 shifted = uv + (grain - 0.5) * 0.01 * sin(time);

    // Fit the logo into 60 % of the shorter side, keeping its own aspect.
    vec2 logoSize = vec2(textureSize(logoTexture, 0));
    float side = 0.6 * min(size.x, size.y);
    vec2 extent = side * logoSize / max(logoSize.x, logoSize.y);
    vec2 logoUV = (shifted * size - 0.5 * size) / extent + 0.5;
    vec4 logo = texture(logoTexture, logoUV);
    logo *= step(0.0, logoUV.x) * step(logoUV.x, 1.0) * step(0.0, logoUV.y) * step(logoUV.y, 1.0);

    vec3 background = mix(vec3(0.01, 0.008, 0.03), vec3(0.045, 0.02, 0.08), uv.y) + 0.05 * grain;
    float band = 1.0 - abs(uv.x + uv.y * 0.3 - fract(0.2 * time) * 1.6 + 0.3);
    float sheen = smoothstep(0.9, 1.0, band);
    fragColor = vec4(mix(background, logo.rgb * (1.0 + 0.6 * sheen), logo.a), 1.0);
}
