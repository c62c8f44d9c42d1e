#pragma once

#include <QString>

class QWidget;

namespace vantelo {

// Message box styles the program uses.
enum MessageStyle : int {
    MsgOkOnly = 0,
    MsgExclamation = 48,
};

// Modal message boxes. The window shows them through Qt; tests swap in a
// recorder so that no test ever waits on a modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const QString& text, int style, const QString& title) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void show(const QString& text, int style, const QString& title) override;

private:
    QWidget* parent_;
};

// The title of every message box that names none of its own; start-up sets it
// by the title rule.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace vantelo
