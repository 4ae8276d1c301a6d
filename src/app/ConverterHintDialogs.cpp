#include "app/ConverterHintDialogs.h"

#include "app/ConverterHint.h"

namespace halvane {

std::optional<QString> ConverterHintDialogs::OpenFile(const FileDialogRequest& request)
{
    return m_dialogs.OpenFile(request);
}

std::optional<QString> ConverterHintDialogs::AskText(const QString& prompt, const QString& title,
                                                     const QString& defaultAnswer)
{
    return m_dialogs.AskText(prompt, title, defaultAnswer);
}

void ConverterHintDialogs::ShowWarning(const QString& message)
{
    m_dialogs.ShowWarning(WithConverterHint(message, m_runInput));
}

}  // namespace halvane
