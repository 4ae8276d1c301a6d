#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QToolButton;

namespace halvane {

// A notice over the bottom of the direction map that never blocks anything:
// the run goes on while it shows. Its text can be selected (to copy the
// command it names); its "x" button, or the next file chosen, hides it.
// Hidden at first.
class NoticeBar : public QFrame {
    Q_OBJECT

public:
    explicit NoticeBar(QWidget* parent);

    // Shows text (plain text) in the bar, or hides the bar when text is empty.
    void ShowNotice(const QString& text);
    QString Text() const;

private:
    QLabel* m_text = nullptr;
    QToolButton* m_close = nullptr;
};

}  // namespace halvane
