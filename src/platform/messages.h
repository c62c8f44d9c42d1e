#pragma once

#include <QString>

class QWidget;

namespace vantelo {

// Message box styles the program uses.
enum MessageStyle : int {
    MsgOkOnly = 0,
    MsgOkCancel = 1,
    MsgQuestion = 32,
    MsgExclamation = 48,
};

// Modal message boxes. The window shows them through Qt; tests swap in a
// recorder so that no test ever waits on a modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const QString& text, int style, const QString& title) = 0;
    // A question with a button that goes ahead, captioned `goAhead`, and
    // Cancel, which is the default and what Escape gives. True to go ahead.
    // Where no one can answer, the answer is Cancel.
    virtual bool confirm(const QString& text, const QString& goAhead, const QString& title) {
        (void)text, (void)goAhead, (void)title;
        return false;
    }
};

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void show(const QString& text, int style, const QString& title) override;
    bool confirm(const QString& text, const QString& goAhead, const QString& title) override;

private:
    QWidget* parent_;
};

// The title of every message box that names none of its own; start-up sets it
// by the title rule.
QString applicationTitle();
void setApplicationTitle(const QString& title);

}  // namespace vantelo
