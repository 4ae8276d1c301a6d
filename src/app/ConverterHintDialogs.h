#pragma once

#include "app/DialogService.h"

namespace halvane {

// The dialogs a run talks through: the window's own, with the converter line
// of WithConverterHint added to a warning that refuses the run's input for its
// sample format or channel count. Prompts and file dialogs pass unchanged.
class ConverterHintDialogs final : public DialogService {
public:
    // dialogs must outlive this object.
    explicit ConverterHintDialogs(DialogService& dialogs) : m_dialogs(dialogs) { }

    // The file the run under way reads, as it took the path at its start
    // (the "..." button may name another file before the run ends).
    void SetRunInput(const QString& path) { m_runInput = path; }

    std::optional<QString> OpenFile(const FileDialogRequest& request) override;
    std::optional<QString> AskText(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void ShowWarning(const QString& message) override;

private:
    DialogService& m_dialogs;
    QString m_runInput;
};

}  // namespace halvane
