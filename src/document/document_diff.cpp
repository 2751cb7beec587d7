#include "document/document_diff.h"

#include <algorithm>

namespace veltra::document {

namespace {

void Walk(const std::string& field, const Json* a, const Json* b, std::vector<Difference>& out) {
  if (a != nullptr && b != nullptr) {
    if (IsBytesJson(*a) && IsBytesJson(*b)) {
      if (BytesOfJson(*a) != BytesOfJson(*b)) out.push_back({field, *a, *b});
      return;
    }
    if (*a == *b) return;
  }
  const Json* shape = a != nullptr ? a : b;
  const bool bothObjects = (a == nullptr || a->is_object()) && (b == nullptr || b->is_object());
  if (bothObjects && !IsBytesJson(*shape) && (a == nullptr || !IsBytesJson(*a)) &&
      (b == nullptr || !IsBytesJson(*b))) {
    auto child = [&field](const std::string& key) {
      return field.empty() ? key : field + "." + key;
    };
    if (a != nullptr) {
      for (const auto& [key, value] : a->items()) {
        const Json* other = b != nullptr && b->contains(key) ? &(*b)[key] : nullptr;
        Walk(child(key), &value, other, out);
      }
    }
    if (b != nullptr) {
      for (const auto& [key, value] : b->items()) {
        if (a == nullptr || !a->contains(key)) Walk(child(key), nullptr, &value, out);
      }
    }
    return;
  }
  if (a != nullptr && b != nullptr && a->is_array() && b->is_array() && a->size() == b->size()) {
    for (size_t i = 0; i < a->size(); ++i)
      Walk(field + "[" + std::to_string(i) + "]", &(*a)[i], &(*b)[i], out);
    return;
  }
  Difference difference{field, std::nullopt, std::nullopt};
  if (a != nullptr) difference.a = *a;
  if (b != nullptr) difference.b = *b;
  out.push_back(std::move(difference));
}

std::string ValueText(const std::optional<Json>& value) {
  if (!value) return "(none)";
  if (const auto bytes = BytesOfJson(*value)) return std::to_string(bytes->size()) + " bytes";
  return JsonLine(*value);
}

}  // namespace

std::vector<Difference> DiffDocuments(const Json& a, const Json& b) {
  std::vector<Difference> differences;
  Walk("", &a, &b, differences);
  return differences;
}

std::string DifferenceLine(const Difference& d) {
  std::string line = d.field + ": " + ValueText(d.a) + " -> " + ValueText(d.b);
  const auto a = d.a ? BytesOfJson(*d.a) : std::nullopt;
  const auto b = d.b ? BytesOfJson(*d.b) : std::nullopt;
  if (a && b) {
    const size_t common = std::min(a->size(), b->size());
    size_t differing = std::max(a->size(), b->size()) - common;
    size_t first = common;
    for (size_t i = 0; i < common; ++i) {
      if ((*a)[i] == (*b)[i]) continue;
      first = std::min(first, i);
      ++differing;
    }
    line += " (" + std::to_string(differing) + " differ, the first at byte " +
            std::to_string(first) + ")";
  }
  return line;
}

}  // namespace veltra::document
