#pragma once

// Everything a declarative view needs: include this one header.

#include "declarative/Content.hpp"
#include "declarative/Core.hpp"
#include "declarative/Focus.hpp"
#include "declarative/Gestures.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Layout.hpp"
#include "declarative/TextField.hpp"
