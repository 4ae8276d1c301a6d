#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "app/DialogService.h"

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

    std::optional<QString> OpenFile(const FileDialogRequest& request) override
    {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) {
            return std::nullopt;
        }
        return Next(fileAnswers);
    }

    std::optional<QString> AskText(const QString& prompt, const QString& title, const QString& defaultAnswer) override
    {
        prompts.push_back({prompt, title, defaultAnswer});
        if (textAnswers.empty()) {
            return defaultAnswer;
        }
        return Next(textAnswers);
    }

    void ShowWarning(const QString& message) override { warnings.push_back(message); }

    static std::optional<QString> Next(std::deque<std::optional<QString>>& answers)
    {
        const bool accepted = answers.front().has_value();
        const QString text = answers.front().value_or(QString());
        answers.pop_front();
        if (!accepted) {
            return std::nullopt;
        }
        return text;
    }

    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> textAnswers;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<Prompt> prompts;
    std::vector<QString> warnings;
};

}  // namespace halvane::test
