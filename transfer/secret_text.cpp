#include "transfer/secret_text.h"

#include "transfer/url_escape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace pellvane {
namespace {

// Letters, digits and the bytes of non-ASCII letters: what a word is made of.
bool WordByte(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return std::isalnum(c) || c == '_' || c >= 0x80;
}

std::string Base64(std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = group << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += i + k <= bytes.size() ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

}  // namespace

void SecretMask::Add(std::string_view secret) {
  if (secret.empty()) return;
  const std::string typed(secret);
  Remember({typed, PercentDecode(typed), PercentEncode(typed)});
}

void SecretMask::AddLogin(std::string_view user, std::string_view password) {
  if (password.empty()) return;
  Add(password);
  const std::string typed = std::string(user) + ":" + std::string(password);
  Remember({Base64(typed), Base64(PercentDecode(user) + ":" + PercentDecode(password))});
}

void SecretMask::Remember(std::initializer_list<std::string> spellings) {
  for (const std::string& s : spellings) {
    if (!s.empty() && std::find(spellings_.begin(), spellings_.end(), s) == spellings_.end()) {
      spellings_.push_back(s);
    }
  }
  // A longer spelling goes first, so that "a%20b" is masked whole, not around its "a".
  std::stable_sort(spellings_.begin(), spellings_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string SecretMask::Apply(std::string text) const {
  static const std::string kMask = "***";
  for (const std::string& s : spellings_) {
    for (std::size_t p = text.find(s); p != std::string::npos; p = text.find(s, p)) {
      const std::size_t end = p + s.size();
      const bool joined_before = p > 0 && WordByte(s.front()) && WordByte(text[p - 1]);
      const bool joined_after = end < text.size() && WordByte(s.back()) && WordByte(text[end]);
      if (joined_before || joined_after) {
        ++p;
        continue;
      }
      text.replace(p, s.size(), kMask);
      p += kMask.size();
    }
  }
  return text;
}

bool SendableAsTyped(std::string_view password) {
  return password.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || c1) {
      const std::size_t n = c1 ? 2 : 1;
      for (std::size_t k = 0; k < n; ++k) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(text[i + k]));
        out += hex;
      }
      i += n - 1;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace pellvane
