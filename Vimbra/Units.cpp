#include "Vimbra/Units.hpp"

#include <cmath>

namespace vimbra {
double DegreeUtil::normalized(double degrees) {
    const double r = std::fmod(degrees, 360.0);
    if (r > 180) {
        return r - 360;
    }
    if (r <= -180) {
        return r + 360;
    }
    return r;
}

double DegreeUtil::radians(double degrees) {
    return degrees * 3.141592653589793 / 180.0;
}

namespace {

double distanceSeconds(DateUtil::Date date, DateUtil::Date now) {
    return std::fabs(std::chrono::duration<double>(date - now).count());
}

} // namespace

bool DateUtil::isOlder(double seconds, std::optional<Date> date, bool defaultValue, Date now) {
    return date ? distanceSeconds(*date, now) > seconds : defaultValue;
}

bool DateUtil::isWithin(double seconds, std::optional<Date> date, bool defaultValue, Date now) {
    return date ? distanceSeconds(*date, now) < seconds : defaultValue;
}

} // namespace vimbra
