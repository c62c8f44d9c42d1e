#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>

#include "platform/bytereader.h"

namespace vantelo {

// Reads the first picture of a GIF file whose layout leaves nothing to
// interpret: a picture that fills the whole screen the file declares, with
// its own or the file's colour table, pixel data that covers every pixel,
// and no index outside the table. It gives exactly the image the general
// image reader gives for such a file (32 bits a pixel, with alpha when a
// transparent index is declared), in a fraction of its time. For anything
// else it answers "not plain", and the general reader takes the file.
class PlainGifReader {
public:
    explicit PlainGifReader(int fd);

    // Reads the headers up to the first picture's pixel data; an invalid
    // size when the layout is not plain.
    QSize readHeader();

    // Decodes the picture; a null image when its data turns out not plain:
    // short, or with a code or an index the general reader has an answer of
    // its own for.
    QImage decode();

private:
    bool readColourTable(int entries);
    bool skipSubBlocks();

    ByteReader in_;
    QSize size_;
    QRgb colours_[256] = {};
    int colourCount_ = 0;
    int transparent_ = -1;
    bool interlaced_ = false;
};

}  // namespace vantelo
