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
      for (++i;; ++i) {
        if (i == command.size()) return std::nullopt;
        if (command[i] != '"') {
          word += command[i];
        } else if (i + 1 < command.size() && command[i + 1] == '"') {
          word += '"';
          ++i;
        } else {
          break;
        }
      }
      ++i;
      if (i < command.size() && command[i] != ' ') return std::nullopt;
    } else {
      const std::size_t end = std::min(command.find(' ', i), command.size());
      word = command.substr(i, end - i);
      i = end;
    }
    words.push_back(std::move(word));
  }
}

}  // namespace pellvane
