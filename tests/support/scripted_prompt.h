// A UserPrompt that answers from a script and remembers every question. Jobs may ask from
// worker threads, so the script and the record are guarded.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sysutil/user_prompt.h"

namespace korvane::test {

class ScriptedPrompt : public UserPrompt {
  public:
    struct Question {
        std::wstring text;
        std::wstring caption;
        UINT type;
        DWORD timeoutMs = 0;  // 0 for a question without a time-out
    };

    explicit ScriptedPrompt(std::deque<int> answers = {}) : answers_(std::move(answers)) {}

    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        return Answer({text, caption, type, 0});
    }
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD timeoutMs) override {
        return Answer({text, caption, type, timeoutMs});
    }

    // The answers to the next questions, in order (after them: IDOK).
    void Script(std::deque<int> answers) {
        std::lock_guard<std::mutex> hold(lock_);
        answers_ = std::move(answers);
    }

    // A copy of the questions asked so far.
    std::vector<Question> Asked() const {
        std::lock_guard<std::mutex> hold(lock_);
        return asked;
    }

    std::vector<Question> asked;

  private:
    int Answer(Question question) {
        std::lock_guard<std::mutex> hold(lock_);
        asked.push_back(std::move(question));
        if (answers_.empty()) {
            return IDOK;
        }
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    mutable std::mutex lock_;
    std::deque<int> answers_;
};

}  // namespace korvane::test
