#include "app/backgrounddialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "design/backgroundremoval.h"

namespace vantelo {

BackgroundDialog::BackgroundDialog(int initial, QWidget* parent)
    : QDialog(parent), slider_(new QSlider(Qt::Horizontal, this)), spin_(new QSpinBox(this)) {
    setObjectName(QStringLiteral("dlgRemoveBackground"));
    setWindowTitle(tr("Remove Background"));
    auto* explanation =
        new QLabel(tr("The picture's background, the colour round its border, becomes "
                      "transparent. Raise the tolerance until the background is gone; "
                      "0 keeps the picture as it is."),
                   this);
    explanation->setWordWrap(true);
    auto* label = new QLabel(tr("&Tolerance:"), this);
    slider_->setRange(kMinimumBackgroundTolerance, kMaximumBackgroundTolerance);
    spin_->setRange(kMinimumBackgroundTolerance, kMaximumBackgroundTolerance);
    spin_->setSpecialValueText(tr("Off"));
    slider_->setPageStep(10);
    slider_->setValue(initial);
    spin_->setValue(initial);
    spin_->setObjectName(QStringLiteral("spnTolerance"));
    slider_->setObjectName(QStringLiteral("sldTolerance"));
    slider_->setAccessibleName(tr("Tolerance"));
    spin_->setAccessibleName(tr("Tolerance"));
    label->setBuddy(spin_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* off = buttons->addButton(tr("&Keep Background"), QDialogButtonBox::ResetRole);
    off->setObjectName(QStringLiteral("cmdKeepBackground"));
    connect(off, &QPushButton::clicked, spin_, [this] { spin_->setValue(0); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(slider_, 1);
    row->addWidget(spin_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(360);

    settle_.setSingleShot(true);
    settle_.setInterval(40);
    connect(&settle_, &QTimer::timeout, this, [this] { emit preview(tolerance()); });
    connect(slider_, &QSlider::valueChanged, spin_, &QSpinBox::setValue);
    connect(spin_, &QSpinBox::valueChanged, slider_, &QSlider::setValue);
    connect(spin_, &QSpinBox::valueChanged, &settle_, qOverload<>(&QTimer::start));
    // What OK keeps is what the canvas shows, even before a preview settled.
    connect(this, &QDialog::accepted, this, [this] {
        settle_.stop();
        emit preview(tolerance());
    });
    spin_->setFocus();
}

int BackgroundDialog::tolerance() const {
    return spin_->value();
}

}  // namespace vantelo
