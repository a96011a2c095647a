#include "extension/lv2/LV2Metadata.hpp"

#include "ZeltoCore/Maker.hpp"
#include "extension/FactoryPreset.hpp"
#include "extension/ParameterTable.hpp"
#include "extension/lv2/TessarayLV2.hpp"

#include <cctype>
#include <charconv>
#include <sstream>

using namespace tessaray_lv2;

namespace {

constexpr const char* kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                                  "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                                  "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
                                  "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                                  "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                  "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                                  "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
                                  "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                                  "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                  "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string uri(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '<';
    out += text;
    out += '>';
    return out;
}

// "Ghost Choir" -> <...#preset-ghost-choir>
std::string presetURI(const std::string& name) {
    std::string slug;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            slug += char(std::tolower(u));
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    return uri(std::string(kPluginURI) + "#preset-" + slug);
}

// LV2 unit of a parameter unit; empty where LV2 has none (plain numbers and indices).
const char* lv2Unit(ParameterUnit unit) {
    switch (unit) {
    case ParameterUnit::hertz:
        return "units:hz";
    case ParameterUnit::milliseconds:
        return "units:ms";
    case ParameterUnit::decibels:
        return "units:db";
    case ParameterUnit::percent:
        return "units:pc";
    case ParameterUnit::absoluteCents:
        return "units:cent";
    case ParameterUnit::generic:
    case ParameterUnit::indexed:
        return "";
    }
    return "";
}

void audioPort(std::ostringstream& out, uint32_t index, bool input, const char* symbol, const char* name) {
    out << "    [\n        a lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
        << "        lv2:index " << index << " ;\n        lv2:symbol " << quoted(symbol) << " ;\n"
        << "        lv2:name " << quoted(name) << "\n    ] ,\n";
}

} // namespace

std::string turtleNumber(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eE") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::optional<LV2MetadataVersion> LV2MetadataVersion::parse(const std::string& text) {
    int parts[3] = {0, 0, 0};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? text.find('.', at) : text.size();
        if (end == std::string::npos || end == at || end - at > 6) {
            return std::nullopt;
        }
        for (std::size_t c = at; c < end; ++c) {
            if (text[c] < '0' || text[c] > '9') {
                return std::nullopt;
            }
            parts[i] = parts[i] * 10 + (text[c] - '0');
        }
        at = end + 1;
    }
    return LV2MetadataVersion{parts[1], parts[2], text};
}

std::string manifestTurtle() {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(kPluginURI) << "\n    a lv2:Plugin ;\n    lv2:binary <" << kBinaryName << "> ;\n"
        << "    rdfs:seeAlso <tessaray.ttl> .\n\n"
        << uri(kUIURI) << "\n    a ui:X11UI ;\n    ui:binary <" << kUIBinaryName << "> ;\n"
        << "    rdfs:seeAlso <tessaray.ttl> .\n";
    for (const FactoryPreset& preset : factoryPresetList()) {
        out << "\n"
            << presetURI(preset.name) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginURI)
            << " ;\n    rdfs:label " << quoted(preset.name) << " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    }
    return out.str();
}

std::string pluginTurtle(const LV2MetadataVersion& version) {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(kPluginURI) << "\n"
        << "    a lv2:Plugin , lv2:SpectralPlugin , doap:Project ;\n"
        << "    doap:name \"Tessaray\" ;\n"
        << "    rdfs:comment " << quoted(kPluginDescription) << " ;\n"
        << "    doap:homepage <" << kPluginHomepage << "> ;\n"
        << "    doap:maintainer [\n        foaf:name " << quoted(zelto::kMakerName) << " ;\n"
        << "        foaf:homepage <" << zelto::kMakerSiteAddress << ">\n    ] ;\n"
        << "    doap:release [\n        doap:revision " << quoted(version.text) << "\n    ] ;\n"
        << "    lv2:minorVersion " << version.minor << " ;\n"
        << "    lv2:microVersion " << version.micro << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
        << "    opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    ui:ui " << uri(kUIURI) << " ;\n"
        << "    lv2:port\n";
    audioPort(out, kAudioInLeft, true, "in_l", "Input L");
    audioPort(out, kAudioInRight, true, "in_r", "Input R");
    audioPort(out, kAudioOutLeft, false, "out_l", "Output L");
    audioPort(out, kAudioOutRight, false, "out_r", "Output R");

    for (const ParameterInfo& info : kParameterTable) {
        out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
            << "        lv2:index " << kFirstParameterPort + parameterIndex(info) << " ;\n"
            << "        lv2:symbol " << quoted(info.identifier) << " ;\n"
            << "        lv2:name " << quoted(info.name) << " ;\n"
            << "        lv2:default " << turtleNumber(info.defaultValue) << " ;\n"
            << "        lv2:minimum " << turtleNumber(info.minimum) << " ;\n"
            << "        lv2:maximum " << turtleNumber(info.maximum);
        if (info.unit == ParameterUnit::indexed) {
            out << " ;\n        lv2:portProperty lv2:integer";
        }
        if (info.increment == ParameterIncrement::logarithmic) {
            out << " ;\n        lv2:portProperty pprops:logarithmic";
        }
        if (const char* unit = lv2Unit(info.unit); unit[0] != '\0') {
            out << " ;\n        units:unit " << unit;
        }
        out << "\n    ] ,\n";
    }

    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << kEnabledPort << " ;\n"
        << "        lv2:symbol " << quoted(kEnabledSymbol) << " ;\n"
        << "        lv2:name \"Enabled\" ;\n"
        << "        lv2:designation lv2:enabled ;\n"
        << "        lv2:portProperty lv2:toggled ;\n"
        << "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n    ] ,\n";

    // For editors that cannot reach the instance: analyser values and the preset name, in objects of the
    // plug-in's own types (no patch messages: the preset name is state, not a parameter a host may set).
    out << "    [\n        a lv2:OutputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        lv2:index " << kNotifyPort << " ;\n"
        << "        lv2:symbol " << quoted(kNotifySymbol) << " ;\n"
        << "        lv2:name \"Notify\" ;\n"
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        rsz:minimumSize " << kNotifyMinimumSize << "\n    ] .\n";

    // The editor. The host drives it through the idle interface; everything else it can do without.
    out << "\n"
        << uri(kUIURI) << "\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:parent , ui:resize , ui:touch , "
           "<http://lv2plug.in/ns/ext/instance-access> , <http://lv2plug.in/ns/ext/data-access> , urid:map "
           ";\n"
        << "    lv2:extensionData ui:idleInterface , ui:resize ;\n"
        << "    ui:portNotification";
    for (const ParameterInfo& info : kParameterTable) {
        out << (parameterIndex(info) == 0 ? " " : " , ") << "[\n        ui:plugin " << uri(kPluginURI)
            << " ;\n        lv2:symbol " << quoted(info.identifier)
            << " ;\n        ui:protocol ui:floatProtocol\n    ]";
    }
    out << " , [\n        ui:plugin " << uri(kPluginURI) << " ;\n        lv2:symbol " << quoted(kNotifySymbol)
        << " ;\n        ui:protocol atom:eventTransfer\n    ] .\n";

    // The one property of the plug-in's own state: presets and saved sessions carry it.
    out << "\n"
        << uri(kPresetNameKeyURI) << "\n"
        << "    a rdf:Property ;\n"
        << "    rdfs:label \"Current preset name\" ;\n"
        << "    rdfs:comment \"Name of the factory preset the settings came from; empty when none was "
           "chosen.\" "
           ";\n"
        << "    rdfs:range atom:String .\n";
    return out.str();
}

std::string presetsTurtle() {
    std::ostringstream out;
    out << kPrefixes;
    for (const FactoryPreset& preset : factoryPresetList()) {
        out << presetURI(preset.name) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginURI)
            << " ;\n    rdfs:label " << quoted(preset.name) << " ;\n    lv2:port";
        const auto values = preset.values();
        for (const ParameterInfo& info : kParameterTable) {
            out << (parameterIndex(info) == 0 ? " " : " , ") << "[\n        lv2:symbol "
                << quoted(info.identifier) << " ;\n        pset:value "
                << turtleNumber(values[parameterIndex(info)]) << "\n    ]";
        }
        // The preset's name travels in its state, as it does in a host's saved session.
        out << " ;\n    state:state [\n        " << uri(kPresetNameKeyURI) << " " << quoted(preset.name)
            << "\n    ] .\n\n";
    }
    return out.str();
}
