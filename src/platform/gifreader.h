#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <QSize>

#include "platform/bytereader.h"

namespace vantelo {

// Reads the first picture of a GIF file as a browser shows it: the screen
// the file declares, with the picture painted in its place, and transparent
// wherever the picture leaves it unpainted, around a picture smaller than the
// screen or past the point where its pixel data ends. For a picture that
// fills the whole screen with pixel data that covers every pixel, it gives
// exactly the image the general image reader gives (32 bits a pixel, with
// alpha when a transparent index is declared), in a fraction of its time;
// for the unpainted part the general reader has the background colour or
// black instead, and the two differ on purpose. For a layout the general
// reader has an answer of its own for (an index outside the colour table, an
// interlaced picture of fewer than five rows or past the screen's bottom) it
// answers "not plain", and the general reader takes the file.
class PlainGifReader {
public:
    explicit PlainGifReader(int fd);

    // Reads the headers up to the first picture's pixel data; an invalid
    // size when the layout is not plain.
    QSize readHeader();

    // Decodes the picture; a null image when its data turns out not plain:
    // missing, or with a code or an index the general reader has an answer of
    // its own for.
    QImage decode();

    // Whether the picture decoded filled the whole screen with all its
    // pixels, where the general reader gives the same image.
    bool whole() const { return whole_; }

private:
    bool readColourTable(int entries);
    bool skipSubBlocks();

    ByteReader in_;
    QSize size_;
    QRect frame_;
    QRgb colours_[256] = {};
    int colourCount_ = 0;
    int transparent_ = -1;
    bool interlaced_ = false;
    bool whole_ = false;
};

}  // namespace vantelo
