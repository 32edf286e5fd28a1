#pragma once

#include <string>
#include <vector>

namespace vellinor {

// One line of a details table: "key" in the first column, "value" in the second.
struct KeyValueRow {
    std::string key;
    std::string value;

    friend bool operator==(const KeyValueRow&, const KeyValueRow&) = default;
};

using KeyValueRows = std::vector<KeyValueRow>;

}  // namespace vellinor
