#pragma once
// Layout helper shared by the frames.
#include <QHBoxLayout>
#include <QWidget>

namespace ostrander {

// A horizontal layout on `parent` with no margins and no spacing.
inline QHBoxLayout* Row(QWidget* parent) {
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    return row;
}

} // namespace ostrander
