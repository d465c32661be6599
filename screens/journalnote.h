#pragma once

#include "journal/desk.h"

#include <QLabel>

namespace screens {

// A screen's line about the journal, under its own status: why its
// operations go unrecorded, empty while they are recorded.
class JournalNote final : public QLabel {
public:
    explicit JournalNote(QWidget *parent) : QLabel(parent)
    {
        setObjectName(QStringLiteral("journalNote"));
        setWordWrap(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::darkRed);
        setPalette(p);
    }
    journal::Desk::Note note()
    {
        return [this](const QString &text) { setText(text); };
    }
};

} // namespace screens
