// The window's icon: a receipt printer with a slip coming out, drawn for this program.
#pragma once

#include <QIcon>
#include <QImage>

// The 32 x 32 picture in 256 colours.
QImage PrinterIconImage();
QIcon PrinterIcon();
