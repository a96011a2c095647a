#pragma once

// Angle and date helpers.

#include <chrono>
#include <optional>

namespace vimbra {
struct DegreeUtil {
    // Into (-180, 180].
    static double normalized(double degrees);
    static double radians(double degrees);
};

struct DateUtil {
    using Date = std::chrono::system_clock::time_point;

    // Whether the date lies more than `seconds` away from now, in either direction; the default when
    // there is no date.
    static bool isOlder(double seconds, std::optional<Date> date, bool defaultValue,
                        Date now = std::chrono::system_clock::now());
    // Whether the date lies less than `seconds` away from now, in either direction.
    static bool isWithin(double seconds, std::optional<Date> date, bool defaultValue,
                         Date now = std::chrono::system_clock::now());
};

} // namespace vimbra
