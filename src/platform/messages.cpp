#include "platform/messages.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>

namespace vantelo {
namespace {

QString& titleStorage() {
    static QString title = QStringLiteral("Vantelo");
    return title;
}

// When VANTELO_MESSAGE_LOG names a file, every message is also appended there
// (title, style and text, one record per line with line breaks escaped), so an
// acceptance run can check what the user was told without reading the screen.
void logMessage(const QString& text, int style, const QString& title) {
    const QString path = qEnvironmentVariable("VANTELO_MESSAGE_LOG");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    QTextStream(&file) << title << '\t' << style << '\t' << escaped << '\n';
}

}  // namespace

QString applicationTitle() {
    return titleStorage();
}

void setApplicationTitle(const QString& title) {
    titleStorage() = title;
}

void QtMessageBoxes::show(const QString& text, int style, const QString& title) {
    logMessage(text, style, title);
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon((style & 0x70) == MsgExclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setObjectName(QStringLiteral("vanteloMessage"));
    box.exec();
}

bool QtMessageBoxes::confirm(const QString& text, const QString& goAhead, const QString& title) {
    logMessage(text, MsgOkCancel | MsgQuestion, title);
    QMessageBox box(parent_);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    QPushButton* go = box.addButton(goAhead, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setObjectName(QStringLiteral("vanteloQuestion"));
    box.exec();
    return box.clickedButton() == go;
}

}  // namespace vantelo
