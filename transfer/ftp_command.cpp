#include "transfer/ftp_command.h"

namespace pellvane {

std::optional<std::vector<std::string>> SplitCommand(std::string_view command) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (true) {
    while (i < command.size() && command[i] == ' ') ++i;
    if (i == command.size()) return words;
    std::string word;
    if (command[i] == '"') {
      const std::size_t close = command.find('"', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      word = command.substr(i + 1, close - i - 1);
      i = close + 1;
      if (i < command.size() && command[i] != ' ') return std::nullopt;
    } else {
      const std::size_t end = std::min(command.find(' ', i), command.size());
      word = command.substr(i, end - i);
      if (word.find('"') != std::string::npos) return std::nullopt;
      i = end;
    }
    words.push_back(std::move(word));
  }
}

}  // namespace pellvane
