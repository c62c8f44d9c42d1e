#include "platform/skin.h"

#include <QFile>
#include <QWidget>

#include "platform/runtimeerror.h"

namespace vantelo {

void SkinFramework::LoadSkin(const QString& path, const QString&) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw RuntimeError(ErrFileNotFound);
    styleSheet_ = QString::fromUtf8(file.readAll());
}

void SkinFramework::ApplyWindow(QWidget* window) {
    if (window != nullptr && applyColors_)
        window->setStyleSheet(styleSheet_);
}

}  // namespace vantelo
