#pragma once

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <vector>

namespace vantelo {

class SettingsStore;

// The classic canvas, 7680 by 3435 twips at 15 twips a pixel.
inline constexpr QSize kClassicCanvas(512, 229);
// The largest side a chosen canvas may have: the largest logo the program draws.
inline constexpr int kLargestCanvasSide = 16384;
inline constexpr int kSmallestCanvasSide = 16;

struct CanvasPreset {
    QString name;
    QSize size;
};

// The sizes offered beside "Fit to Picture", the classic one first.
std::vector<CanvasPreset> canvasPresets();

// A chosen size as the program keeps it: the classic size (or anything
// unreadable) becomes empty, and each side is kept within the allowed range.
QSize normalizedCanvasSize(const QSize& pixels);

// The stored canvas size; empty when the keys are absent or unreadable.
QSize storedCanvasSize(const SettingsStore& settings);

}  // namespace vantelo
