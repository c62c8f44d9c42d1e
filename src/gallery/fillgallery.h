#pragma once

#include <QString>

class QTreeWidget;

namespace vantelo {

// Lists every "*.jpg" file of the application folder's tree in the gallery, in
// the walk's folder order. No trap of its own: a failure raises for start-up's.
void FillLogoGallery(QTreeWidget& gallery, const QString& applicationFolder);

}  // namespace vantelo
