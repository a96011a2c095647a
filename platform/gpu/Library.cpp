#include "gpu/Library.hpp"

#include "core/Bundle.hpp"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace gpu {

namespace {

using Json = nlohmann::json;

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        throw Error("The shader source " + file.filename().string() + " cannot be read");
    }
    return text.str();
}

FunctionStage parseStage(const std::string& function, const Json& value) {
    if (value == "vertex") {
        return FunctionStage::vertex;
    }
    if (value == "fragment") {
        return FunctionStage::fragment;
    }
    if (value == "colorEffect") {
        return FunctionStage::colorEffect;
    }
    throw Error("The shader function " + function + " has no valid stage");
}

std::vector<std::string> parseInputs(const std::string& function, const Json& entry) {
    std::vector<std::string> inputs;
    if (!entry.contains("inputs")) {
        return inputs;
    }
    const Json& list = entry["inputs"];
    if (!list.is_array()) {
        throw Error("The inputs of shader function " + function + " are not a list");
    }
    for (const Json& name : list) {
        if (!name.is_string() && !name.is_null()) {
            throw Error("An input of shader function " + function + " is not a name");
        }
        inputs.push_back(name.is_string() ? name.get<std::string>() : std::string());
    }
    return inputs;
}

std::vector<TextureBinding> parseTextures(const std::string& function, const Json& entry) {
    std::vector<TextureBinding> textures;
    if (!entry.contains("textures")) {
        return textures;
    }
    const Json& list = entry["textures"];
    if (!list.is_array()) {
        throw Error("The textures of shader function " + function + " are not a list");
    }
    for (const Json& texture : list) {
        if (!texture.is_object() || !texture.contains("name") || !texture["name"].is_string()) {
            throw Error("A texture of shader function " + function + " has no name");
        }
        TextureBinding binding{texture["name"].get<std::string>(), AddressMode::clampToEdge};
        if (texture.contains("address") && texture["address"] == "repeat") {
            binding.address = AddressMode::repeat;
        }
        textures.push_back(std::move(binding));
    }
    return textures;
}

} // namespace

Function::Function(std::string name, FunctionStage stage, std::string source, std::vector<std::string> inputs,
                   std::vector<TextureBinding> textures)
    : name_(std::move(name)), stage_(stage), source_(std::move(source)), inputs_(std::move(inputs)),
      textures_(std::move(textures)) {}

std::shared_ptr<Library> Library::loadDefault(const core::Bundle& bundle) {
    const auto manifestPath = bundle.pathForResource("library", "json");
    if (!manifestPath) {
        throw Error("The bundle " + bundle.bundlePath().filename().string() + " has no shader library");
    }
    const Json manifest = Json::parse(readText(*manifestPath), nullptr, false);
    if (manifest.is_discarded() || !manifest.is_object() || !manifest.contains("functions") ||
        !manifest["functions"].is_object()) {
        throw Error("The shader library of " + bundle.bundlePath().filename().string() + " is malformed");
    }
    std::vector<std::shared_ptr<const Function>> functions;
    for (const auto& [name, entry] : manifest["functions"].items()) {
        if (!entry.is_object() || !entry.contains("source") || !entry["source"].is_string()) {
            throw Error("The shader function " + name + " names no source");
        }
        const auto file = entry["source"].get<std::string>();
        const auto sourcePath = bundle.pathForResource(file, "");
        if (!sourcePath) {
            throw Error("The source " + file + " of shader function " + name + " is missing");
        }
        functions.push_back(std::make_shared<Function>(name, parseStage(name, entry.value("stage", Json())),
                                                       readText(*sourcePath), parseInputs(name, entry),
                                                       parseTextures(name, entry)));
    }
    return make(std::move(functions));
}

std::shared_ptr<Library> Library::make(std::vector<std::shared_ptr<const Function>> functions) {
    auto library = std::make_shared<Library>();
    library->functions_ = std::move(functions);
    return library;
}

std::shared_ptr<const Function> Library::newFunction(std::string_view name) const {
    for (const auto& function : functions_) {
        if (function->name() == name) {
            return function;
        }
    }
    return nullptr;
}

std::vector<std::string> Library::functionNames() const {
    std::vector<std::string> names;
    for (const auto& function : functions_) {
        names.push_back(function->name());
    }
    return names;
}

} // namespace gpu
