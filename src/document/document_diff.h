#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/configuration_json.h"

namespace veltra::document {

// One field whose value differs between two configuration documents; nullopt on the side that
// does not have the field at all.
struct Difference {
  std::string field;  // "header.usb.remoteWakeup", "playbackEq.bands[2].centreHz"
  std::optional<Json> a;
  std::optional<Json> b;
};

// The differing leaves of two documents, in the order of a's fields, then b's own. A byte string
// ({"hex"} or {"base64"}) counts as one leaf, compared by its bytes.
std::vector<Difference> DiffDocuments(const Json& a, const Json& b);

// "field: A -> B", values as JSON; byte strings by their length and where they differ.
std::string DifferenceLine(const Difference& difference);

}  // namespace veltra::document
