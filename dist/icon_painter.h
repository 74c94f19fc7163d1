#pragma once
// The program's icon, drawn in code at any size: a picture frame holding
// horizontal colour bars and a chequered pixel block.
#include <QImage>

QImage DrawTambrelIcon(int size);
