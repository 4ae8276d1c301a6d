#include "app/NoticeBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace halvane {

NoticeBar::NoticeBar(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 248, 200));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);

    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("NoticeText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_close = new QToolButton(this);
    m_close->setObjectName(QStringLiteral("NoticeClose"));
    m_close->setText(QStringLiteral("x"));
    m_close->setAutoRaise(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 1, 1);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_close, 0, Qt::AlignTop);
    connect(m_close, &QToolButton::clicked, this, [this] { ShowNotice(QString()); });
    hide();
}

void NoticeBar::ShowNotice(const QString& text)
{
    m_text->setText(text);
    m_text->setToolTip(text);
    setVisible(!text.isEmpty());
    if (!text.isEmpty()) raise();
}

QString NoticeBar::Text() const { return isVisible() ? m_text->text() : QString(); }

}  // namespace halvane
