#pragma once

#include "app/DialogService.h"

class QWidget;

namespace halvane {

// The toolkit's own dialogs, modal over the given window.
class QtDialogService final : public DialogService {
public:
    explicit QtDialogService(QWidget* parent) : m_parent(parent) { }

    std::optional<QString> OpenFile(const FileDialogRequest& request) override;
    std::optional<QString> AskText(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void ShowWarning(const QString& message) override;

private:
    QWidget* m_parent;
};

}  // namespace halvane
