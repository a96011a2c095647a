#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace audiounit {

struct StateValue;
using StateBytes = std::vector<uint8_t>;
using StateDictionary = std::map<std::string, StateValue, std::less<>>;

// One entry of a saved state: text, an integer, a number, raw bytes or a nested dictionary.
struct StateValue {
    std::variant<std::string, int64_t, double, StateBytes, StateDictionary> value;

    StateValue() = default;
    StateValue(std::string text) : value(std::move(text)) {}
    StateValue(const char* text) : value(std::string(text)) {}
    StateValue(int64_t number) : value(number) {}
    StateValue(int number) : value(int64_t(number)) {}
    StateValue(double number) : value(number) {}
    StateValue(StateBytes bytes) : value(std::move(bytes)) {}
    StateValue(StateDictionary dictionary) : value(std::move(dictionary)) {}

    template <class T> const T* get() const { return std::get_if<T>(&value); }
    template <class T> T* get() { return std::get_if<T>(&value); }

    friend bool operator==(const StateValue&, const StateValue&) = default;
};

} // namespace audiounit
