#include "gallery/fillgallery.h"

#include <QTreeWidget>

namespace vantelo {

void FillLogoGallery(QTreeWidget&, const QString&) {}

}  // namespace vantelo
