#include "settings/publish_state.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/settings_table.h"

namespace pellvane {
namespace {

const std::string kStatusKeyPath = kSettingsKeyPath + "\\" + kStatusKeyName;

// Backslash, CR and LF escaped, so that every field stays on its own line.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

// The text fields of the published page by their names in the stored value.
const std::pair<const char*, std::string PageFacts::*> kTextFields[] = {
    {"address", &PageFacts::address},
    {"page", &PageFacts::page},
    {"server", &PageFacts::server},
    {"user", &PageFacts::user},
    {"remote", &PageFacts::remote}};

// "name=value" lines, the fields in a fixed order.
std::string Serialized(const PublishStatus& s) {
  std::string text = std::string("due=") + (s.due ? "1" : "0") + "\n";
  if (!s.published) return text;
  for (const auto& [name, field] : kTextFields) {
    text += std::string(name) + "=" + Escaped((*s.published).*field) + "\n";
  }
  return text + "slot=" + std::to_string(s.published->slot) + "\n";
}

PublishStatus Parsed(std::string_view text) {
  PublishStatus s;
  PageFacts p;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t eq = std::min(line.find('='), line.size());
    const std::string_view name = line.substr(0, eq);
    const std::string value = Unescaped(line.substr(std::min(eq + 1, line.size())));
    if (name == "due") s.due = value == "1";
    // A slot that does not read as 0..4 matches none, so the page counts as moved.
    if (name == "slot")
      p.slot = value.size() == 1 && value[0] >= '0' && value[0] <= '4' ? value[0] - '0' : -1;
    for (const auto& [field_name, field] : kTextFields) {
      if (name == field_name) p.*field = value;
    }
    if (name != "due") s.published = p;
  }
  return s;
}

}  // namespace

PublishStatus ReadPublishStatus(Registry& registry) {
  HKEY key = 0;
  if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kStatusKeyPath, 0, KEY_READ, &key) != 0) return {};
  std::uint32_t type = 0, size = 0;
  std::vector<std::uint8_t> data;
  LSTATUS rc = registry.RegQueryValueEx(key, kStatusValueName, &type, nullptr, &size);
  if (rc == 0 && type == REG_SZ) {
    data.resize(size);
    rc = registry.RegQueryValueEx(key, kStatusValueName, &type, data.data(), &size);
  }
  registry.RegCloseKey(key);
  if (rc != 0 || type != REG_SZ) return {};
  std::string text(data.begin(), data.begin() + std::min<std::size_t>(size, data.size()));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return Parsed(text);
}

bool PublishState::SetDue() {
  status_.due = true;
  return Write();
}

bool PublishState::SetPublished(const PageFacts& facts) {
  status_ = {false, facts};
  return Write();
}

bool PublishState::Write() {
  HKEY key = 0;
  if (registry_.RegCreateKeyEx(HKEY_LOCAL_MACHINE, kStatusKeyPath, 0, KEY_ALL_ACCESS, &key,
                               nullptr) != 0) {
    return false;
  }
  const std::string data = Serialized(status_) + '\0';
  const LSTATUS rc = registry_.RegSetValueEx(key, kStatusValueName, REG_SZ,
                                             reinterpret_cast<const std::uint8_t*>(data.data()),
                                             static_cast<std::uint32_t>(data.size()));
  registry_.RegCloseKey(key);
  return rc == 0;
}

}  // namespace pellvane
