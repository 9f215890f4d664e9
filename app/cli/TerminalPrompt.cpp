// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/TerminalPrompt.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vemo::cli {

bool TerminalPrompt::AskOkCancel(const std::string& text) {
  std::string shown = text;
  std::replace(shown.begin(), shown.end(), '\r', '\n');
  if (!shown.empty() && shown.back() != '\n') shown += '\n';
  std::fputs(shown.c_str(), out_);
  std::fputs("OK or Cancel? [o/c] ", out_);
  std::fflush(out_);
  asked_ = true;
  lastAnswer_ = Answer();
  return lastAnswer_;
}

bool TerminalPrompt::Answer() {
  std::string answer;
  int c = 0;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') answer += static_cast<char>(c);
  if (c == EOF && answer.empty()) {
    std::fputs("\n", out_);
    return false;
  }
  answer.erase(std::remove_if(answer.begin(), answer.end(),
                              [](unsigned char ch) { return std::isspace(ch) != 0; }),
               answer.end());
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return answer == "o" || answer == "ok" || answer == "y" || answer == "yes";
}

}  // namespace vemo::cli
