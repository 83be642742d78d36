// A UserPrompt that answers from a script and remembers every question.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "sysutil/user_prompt.h"

namespace korvane::testing {

class ScriptedPrompt : public UserPrompt {
  public:
    struct Question {
        std::wstring text;
        std::wstring caption;
        UINT type;
    };

    explicit ScriptedPrompt(std::deque<int> answers = {}) : answers_(std::move(answers)) {}

    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        asked.push_back({text, caption, type});
        if (answers_.empty()) {
            return IDOK;
        }
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    std::vector<Question> asked;

  private:
    std::deque<int> answers_;
};

}  // namespace korvane::testing
