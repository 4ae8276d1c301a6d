#include "app/PickFileOrCancel.h"

#include "app/DialogService.h"

namespace halvane {

std::optional<QStringList> NameFiltersFrom(const QString& filterList)
{
    const QStringList parts = filterList.split(QLatin1Char('|'));
    if (filterList.isEmpty() || parts.size() % 2 != 0) {
        return std::nullopt;
    }
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        if (pattern.isEmpty()) {
            return std::nullopt;
        }
        const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
        filters << (description.trimmed().endsWith(bracketed) ? description
                                                              : description + QLatin1Char(' ') + bracketed);
    }
    return filters;
}

std::optional<QString> PickFileOrCancel(DialogService& dialogs, const QString& title, const QString& filterList,
                                        const QString& initialName)
{
    const auto filters = NameFiltersFrom(filterList);
    if (!filters) {
        return std::nullopt;
    }
    const auto chosen = dialogs.OpenFile({title, *filters, initialName});
    if (!chosen || chosen->isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

}  // namespace halvane
