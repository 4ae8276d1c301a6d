#include "app/RunTitle.h"

#include <QWidget>

#include "report/NumberFormat.h"

namespace halvane {

RunTitle::RunTitle(QWidget& window) : m_window(window), m_fileTitle(window.windowTitle()) { }

void RunTitle::SetFileTitle(const QString& title)
{
    m_fileTitle = title;
    m_window.setWindowTitle(title);
}

void RunTitle::DirectionComputed(double, const DirectionQuantities& direction)
{
    m_window.setWindowTitle(WithWindowTime(m_fileTitle, direction.TimeMs));
}

void RunTitle::RunEnded() { m_window.setWindowTitle(m_fileTitle); }

QString RunTitle::WithWindowTime(const QString& fileTitle, double timeMs)
{
    return fileTitle + QStringLiteral(" - window at ") + QString::fromStdString(FormatDouble(timeMs)) +
           QStringLiteral(" ms");
}

}  // namespace halvane
