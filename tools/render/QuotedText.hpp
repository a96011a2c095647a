#pragma once

// Text from outside the tool (options, paths, lines of a file) made safe to print on a terminal.

#include <string>
#include <string_view>

// Well-formed UTF-8 unchanged, except that control characters (bytes below 0x20, 0x7F and the C1 controls
// U+0080 to U+009F) and every byte of an ill-formed sequence read as \xNN.
std::string escapedText(std::string_view text);

// The escaped text in single quotes, as messages quote a name or a value.
std::string quotedText(std::string_view text);
