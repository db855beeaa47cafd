#include <algorithm>

#include "platform/registry/key_path.h"
#include "platform/registry/registry.h"

namespace velkor::registry {

using detail::EqualsIgnoringCase;
using detail::IsBelow;
using detail::NormalizeKeyPath;

namespace {

// A line break inside a key name would end its section line, and one in raw
// value text that is not a continuation would start a line of its own:
// either would let a caller's text turn into keys of its own.
bool IsWritableKeyPath(std::string_view path) { return path.find_first_of("\r\n") == std::string_view::npos; }

bool IsWritableValue(const Value& value) {
  const auto* raw = std::get_if<RawValue>(&value);
  if (!raw) return true;
  const std::string& text = raw->text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\r' || text[i] == '\n') {
      std::size_t before = i;
      if (before > 0 && text[before - 1] == '\r') --before;
      if (before == 0 || text[before - 1] != '\\') return false;
    }
  }
  return true;
}

template <class Values>
auto FindValue(Values& values, std::string_view name) {
  return std::find_if(values.begin(), values.end(),
                      [&](const auto& entry) { return EqualsIgnoringCase(entry.first, name); });
}

}  // namespace

HiveContents::Key* HiveContents::Find(std::string_view keyPath) {
  return const_cast<Key*>(static_cast<const HiveContents*>(this)->Find(keyPath));
}

const HiveContents::Key* HiveContents::Find(std::string_view keyPath) const {
  const std::string path = NormalizeKeyPath(keyPath);
  for (const Key& key : keys_) {
    if (EqualsIgnoringCase(key.name, path)) return &key;
  }
  return nullptr;
}

HiveContents::Key& HiveContents::Obtain(std::string_view path) {
  if (Key* existing = Find(path)) return *existing;

  auto present = [&](std::string_view prefix) {
    return std::any_of(keys_.begin(), keys_.end(), [&](const Key& key) {
      return EqualsIgnoringCase(key.name, prefix) || IsBelow(key.name, prefix);
    });
  };
  auto lastOfFamily = [&](std::string_view prefix) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (EqualsIgnoringCase(keys_[i].name, prefix) || IsBelow(keys_[i].name, prefix)) last = i;
    }
    return last;
  };

  // Take over the spelling of the ancestors already there, so that
  // "SOFTWARE\\x" and "Software\\y" do not end up as two families.
  std::vector<std::string> prefixes;
  std::string spelled;
  for (std::string_view segment : detail::Segments(path)) {
    std::string candidate = spelled.empty() ? std::string(segment) : spelled + '\\' + std::string(segment);
    for (const Key& key : keys_) {
      if (EqualsIgnoringCase(key.name, candidate) || IsBelow(key.name, candidate)) {
        candidate = key.name.substr(0, candidate.size());
        break;
      }
    }
    spelled = std::move(candidate);
    prefixes.push_back(spelled);
  }

  // New keys go right after the family of their nearest existing ancestor, or
  // right before their own descendants when only those exist.
  std::size_t position = keys_.size();
  if (!prefixes.empty() && present(prefixes.back())) {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (IsBelow(keys_[i].name, prefixes.back())) {
        position = i;
        break;
      }
    }
  } else if (prefixes.empty()) {
    position = 0;
  } else {
    for (std::size_t depth = prefixes.size() - 1; depth-- > 0;) {
      if (present(prefixes[depth])) {
        position = lastOfFamily(prefixes[depth]) + 1;
        break;
      }
    }
  }

  if (prefixes.empty()) {
    keys_.insert(keys_.begin(), Key{std::string(), {}});
    return keys_.front();
  }
  const bool onlyItselfMissing = present(prefixes.back());
  for (std::size_t depth = 0; depth < prefixes.size(); ++depth) {
    const bool last = depth + 1 == prefixes.size();
    if (!last && (onlyItselfMissing || present(prefixes[depth]))) continue;
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(position), Key{prefixes[depth], {}});
    if (last) return keys_[position];
    ++position;
  }
  return keys_[position];  // not reached: the last prefix is always inserted
}

bool HiveContents::HasKey(std::string_view keyPath) const {
  const std::string path = NormalizeKeyPath(keyPath);
  if (path.empty()) return true;  // the root is always there
  return std::any_of(keys_.begin(), keys_.end(), [&](const Key& key) {
    return EqualsIgnoringCase(key.name, path) || IsBelow(key.name, path);
  });
}

std::optional<Value> HiveContents::Get(std::string_view keyPath, std::string_view valueName) const {
  const Key* key = Find(keyPath);
  if (!key) return std::nullopt;
  auto value = FindValue(key->values, valueName);
  if (value == key->values.end()) return std::nullopt;
  return value->second;
}

std::vector<std::string> HiveContents::ValueNames(std::string_view keyPath) const {
  std::vector<std::string> names;
  if (const Key* key = Find(keyPath)) {
    for (const auto& value : key->values) names.push_back(value.first);
  }
  return names;
}

std::vector<std::string> HiveContents::SubKeyNames(std::string_view keyPath) const {
  const std::string path = NormalizeKeyPath(keyPath);
  std::vector<std::string> names;
  for (const Key& key : keys_) {
    if (!IsBelow(key.name, path)) continue;
    std::string_view child = detail::ChildSegment(key.name, path);
    const bool known = std::any_of(names.begin(), names.end(),
                                   [&](const std::string& name) { return EqualsIgnoringCase(name, child); });
    if (!known) names.emplace_back(child);
  }
  return names;
}

void HiveContents::CreateKey(std::string_view keyPath) {
  if (!IsWritableKeyPath(keyPath)) return;
  Obtain(NormalizeKeyPath(keyPath));
}

void HiveContents::Set(std::string_view keyPath, std::string_view valueName, Value value) {
  if (!IsWritableKeyPath(keyPath) || !IsWritableValue(value)) return;
  Key& key = Obtain(NormalizeKeyPath(keyPath));
  auto existing = FindValue(key.values, valueName);
  if (existing != key.values.end()) {
    existing->second = std::move(value);  // the name keeps its first spelling
  } else {
    key.values.emplace_back(std::string(valueName), std::move(value));
  }
}

bool HiveContents::DeleteValue(std::string_view keyPath, std::string_view valueName) {
  Key* key = Find(keyPath);
  if (!key) return false;
  auto value = FindValue(key->values, valueName);
  if (value == key->values.end()) return false;
  key->values.erase(value);
  return true;
}

bool HiveContents::DeleteKeyTree(std::string_view keyPath) {
  const std::string path = NormalizeKeyPath(keyPath);
  if (path.empty()) return false;  // the root cannot go, as on the platform
  const auto removed = std::erase_if(keys_, [&](const Key& key) {
    return EqualsIgnoringCase(key.name, path) || IsBelow(key.name, path);
  });
  return removed > 0;
}

}  // namespace velkor::registry
