#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace halvane {

class DialogService;

// A filter list "description|pattern|description|pattern..." in the
// toolkit's form ("description (pattern)", the pattern added only when the
// description does not already end with it). Nothing for an empty list or
// one with a description but no pattern.
std::optional<QStringList> NameFiltersFrom(const QString& filterList);

// The file-dialog sequence shared by the impulse-response button and the
// map's background picture: shows the open dialog with the title, the filter
// list (its first entry selected) and the initial name, and gives the full
// path chosen. Cancel, closing the dialog, an empty answer or a malformed
// filter list all give nothing, silently.
std::optional<QString> PickFileOrCancel(DialogService& dialogs, const QString& title, const QString& filterList,
                                        const QString& initialName);

}  // namespace halvane
