#pragma once

#include <filesystem>

// The build tree's bundles directory, registered with the named-bundle search before any test runs.
std::filesystem::path testBundlesDirectory();
