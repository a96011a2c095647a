#include "declarative/Declarative.hpp"
