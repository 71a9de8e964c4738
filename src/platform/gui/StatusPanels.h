#pragma once

#include <QLabel>
#include <QStatusBar>
#include <vector>

// A status bar made of fixed-width text panels (panel 0 first); the last panel stretches.
class StatusPanels : public QStatusBar
{
    Q_OBJECT
public:
    StatusPanels(std::initializer_list<int> widths, QWidget* parent = nullptr);

    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    void clearPanels();

private:
    std::vector<QLabel*> m_panels;
};
