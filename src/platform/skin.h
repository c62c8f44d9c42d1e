#pragma once

#include <QString>

class QWidget;

namespace vantelo {

// The skinning component: a Qt style sheet read from a skin file and applied to
// the main window. Its members keep the order in which start-up drives them.
class SkinFramework {
public:
    // Reads the skin file. Raises 53 when it cannot be read.
    void LoadSkin(const QString& path, const QString& iniName);
    int Options() const { return options_; }
    void setOptions(int options) { options_ = options; }
    void setApplyColors(bool on) { applyColors_ = on; }
    void setApplyMetrics(bool on) { applyMetrics_ = on; }
    // Applies the loaded skin to the window and all its children.
    void ApplyWindow(QWidget* window);
    bool loaded() const { return !styleSheet_.isEmpty(); }

private:
    QString styleSheet_;
    int options_ = 0;
    bool applyColors_ = false;
    bool applyMetrics_ = false;
};

}  // namespace vantelo
