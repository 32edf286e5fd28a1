#pragma once

// Finds the application's resources (the probe tool "sniffer", the placeholder "pnf.jpg").
// Where it looks, first match wins:
//   1. the folder named by the environment variable VELLINOR_RESOURCE_DIR, when it is set and
//      names an existing folder;
//   2. <folder of the running program>/../share/vellinor (the build tree mirrors the installed
//      layout, so this serves both).

#include <optional>
#include <string>
#include <string_view>

namespace vellinor::platform {

// The full path of the resource `name` when a file of that name exists (a symbolic link to a
// file counts), else nothing.
std::optional<std::string> resourcePath(std::string_view name);

// The folder searched for resources (the first of the list above that exists), or nothing.
std::optional<std::string> resourceDirectory();

}  // namespace vellinor::platform
