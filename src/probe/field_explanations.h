#pragma once

// One-line explanations of the fields the details tables show: the window's tooltip on a key,
// and `vellinor-cli --explain KEY`. The stream and container fields are explained by the facts
// catalogue's table (facts_catalogue.cpp); disposition flags and tags by the tables in
// field_explanations.cpp.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "probe/facts_catalogue.h"

namespace vellinor {

// An entry of the facts catalogue: `field` as the probe tool names it ("color_range",
// "default", "language"), `text` one line ending in a full stop.
using FieldExplanation = CatalogueEntry;

// The explanation of a details key, or nothing when there is none. The key may carry the
// suffix the details tables give a group: "default.disposition" is explained as the
// disposition flag "default", "language.tags" (or "LANGUAGE.tags") as the tag "language";
// tags are matched without regard to case, and a language suffix ("BPS-eng.tags") is ignored.
// A tag without its own entry is explained as a tag in general.
std::optional<std::string> explainField(std::string_view key);

// Every entry of the tables: stream and container fields, disposition flags, tags.
std::span<const FieldExplanation> streamFieldExplanations();
std::span<const FieldExplanation> dispositionExplanations();
std::span<const FieldExplanation> tagExplanations();

}  // namespace vellinor
