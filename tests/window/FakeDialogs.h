#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "DialogService.h"

namespace halvane::test {

// Answers the window's dialogs from queues and records what was asked.
// An empty file queue cancels the dialog; an empty text queue accepts the
// default answer.
class FakeDialogs final : public DialogService {
public:
    struct Prompt {
        QString prompt;
        QString title;
        QString defaultAnswer;
    };

    std::optional<QString> OpenFile(const FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) {
            return std::nullopt;
        }
        auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }

    std::optional<QString> AskText(const QString& prompt, const QString& title,
                                   const QString& defaultAnswer) override {
        prompts.push_back({prompt, title, defaultAnswer});
        if (textAnswers.empty()) {
            return defaultAnswer;
        }
        auto answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }

    void ShowWarning(const QString& message) override { warnings.push_back(message); }

    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> textAnswers;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<Prompt> prompts;
    std::vector<QString> warnings;
};

}  // namespace halvane::test
