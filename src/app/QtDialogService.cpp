#include "app/QtDialogService.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace halvane {

std::optional<QString> QtDialogService::OpenFile(const FileDialogRequest& request)
{
    QFileDialog dialog(m_parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // No options: a typed name of a file that does not exist is accepted too.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.nameFilters);
    if (!request.nameFilters.isEmpty()) {
        dialog.selectNameFilter(request.nameFilters.front());
    }
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.front();
}

std::optional<QString> QtDialogService::AskText(const QString& prompt, const QString& title,
                                                const QString& defaultAnswer)
{
    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

void QtDialogService::ShowWarning(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Warning!"), message, QMessageBox::Ok, m_parent);
    box.exec();
}

}  // namespace halvane
