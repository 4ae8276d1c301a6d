#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace halvane {

// What the file-open dialog is asked to show.
struct FileDialogRequest {
    QString title;
    QStringList nameFilters;  // toolkit form, "Description (*.ext)"; the first is selected
    QString initialName;      // shown in the file-name field; a wildcard pattern here
};

// The three modal dialogs of the window. The real ones are the toolkit's
// (QtDialogService); tests answer them with a fake.
class DialogService {
public:
    virtual ~DialogService() = default;

    // The file-open dialog. The chosen file need not exist. Nothing when the
    // user cancels or closes the dialog.
    virtual std::optional<QString> OpenFile(const FileDialogRequest& request) = 0;
    // An input box with a prompt, a title and a default answer. Nothing when cancelled.
    virtual std::optional<QString> AskText(const QString& prompt, const QString& title,
                                           const QString& defaultAnswer) = 0;
    // A message box titled "Warning!" with the critical icon and an OK button.
    virtual void ShowWarning(const QString& message) = 0;
};

}  // namespace halvane
