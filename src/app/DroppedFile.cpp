#include "app/DroppedFile.h"

#include <QFileInfo>
#include <QList>
#include <QMimeData>
#include <QUrl>

namespace halvane {

DroppedFile ReadDrop(const QMimeData* data, bool onMap, bool runUnderWay)
{
    if (runUnderWay || data == nullptr || !data->hasUrls()) {
        return {};
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return {};
    }
    const QFileInfo file(urls.front().toLocalFile());
    if (!file.isFile()) {
        return {};
    }
    const QString suffix = file.suffix().toLower();
    if (suffix == QLatin1String("wav")) {
        return {DropUse::ChooseImpulseResponse, file.absoluteFilePath()};
    }
    if (onMap && (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))) {
        return {DropUse::LoadBackground, file.absoluteFilePath()};
    }
    return {};
}

}  // namespace halvane
