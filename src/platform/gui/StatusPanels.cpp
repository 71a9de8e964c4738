#include "platform/gui/StatusPanels.h"

StatusPanels::StatusPanels(std::initializer_list<int> widths, QWidget* parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    int index = 0;
    for (int width : widths) {
        auto* label = new QLabel(this); // owned by the status bar
        label->setObjectName(QStringLiteral("panel%1").arg(index));
        label->setMinimumWidth(width);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        const bool last = index == static_cast<int>(widths.size()) - 1;
        if (!last)
            label->setMaximumWidth(width);
        addWidget(label, last ? 1 : 0);
        m_panels.push_back(label);
        ++index;
    }
}

void StatusPanels::setPanelText(int panel, const QString& text)
{
    if (panel >= 0 && panel < panelCount())
        m_panels[static_cast<size_t>(panel)]->setText(text);
}

QString StatusPanels::panelText(int panel) const
{
    if (panel < 0 || panel >= panelCount())
        return {};
    return m_panels[static_cast<size_t>(panel)]->text();
}

void StatusPanels::clearPanels()
{
    for (QLabel* label : m_panels)
        label->clear();
}
