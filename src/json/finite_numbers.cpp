#include "json/finite_numbers.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace vellinor {

JSON finiteNumberOrNull(double value)
{
    return std::isfinite(value) ? JSON(value) : JSON::null();
}

JSON withFiniteNumbers(const JSON& value)
{
    switch (value.type()) {
        case JSONType::number: {
            const JSONNumber number = value.numberValue();
            if (number.kind == JSONNumber::Kind::real && !std::isfinite(number.real))
                return JSON::null();
            return value;
        }
        case JSONType::array: {
            std::vector<JSON> elements;
            for (const JSON& element : value.arrayValue())
                elements.push_back(withFiniteNumbers(element));
            return JSON(std::move(elements));
        }
        case JSONType::dictionary: {
            std::vector<std::pair<std::string, JSON>> members;
            for (auto& [key, member] : value.dictionaryValue())
                members.emplace_back(key, withFiniteNumbers(member));
            return JSON(std::move(members));
        }
        default:
            return value;
    }
}

}  // namespace vellinor
