#include "tools/render/QuotedText.hpp"

#include "core/Text.hpp"

#include <cstdio>

namespace {

void appendEscaped(std::string& out, std::string_view bytes) {
    for (const char byte : bytes) {
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(byte)));
        out += code;
    }
}

// The length a UTF-8 sequence starting with this byte claims; 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

} // namespace

std::string escapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7F) {
                appendEscaped(out, text.substr(at, 1));
            } else {
                out += text[at];
            }
            ++at;
            continue;
        }
        const std::size_t length = sequenceLength(lead);
        const std::string_view sequence = text.substr(at, length);
        // The sequence is well-formed when the validator keeps it as it is (it replaces what is not).
        if (length == 0 || sequence.size() < length || core::validUTF8(sequence, length) != sequence) {
            appendEscaped(out, text.substr(at, 1));
            ++at;
            continue;
        }
        const bool c1Control = lead == 0xC2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
        if (c1Control) {
            appendEscaped(out, sequence);
        } else {
            out += sequence;
        }
        at += length;
    }
    return out;
}

std::string quotedText(std::string_view text) {
    return "'" + escapedText(text) + "'";
}
