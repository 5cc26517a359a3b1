#pragma once

#include <QString>
#include <QtGlobal>

namespace pelagon {

// One layer line of a map definition (.mv), as the rest of the program uses it.
struct LayerInfo {
    QString LayerName;       // legend caption and link text of the query page
    qint16 QueryMode = 0;    // <= 0 not queried, 2 attribute layer, other positive: document layer
    qint16 Visible = 0;      // 0 hidden, -1 shown
    QString ShapeFile;       // file name inside the map folder's Shapefiles folder
    QString DocFile;         // document path relative to the map folder's HTML folder
    qint32 SymbolColor = 0;  // red + 256 * green + 65536 * blue
    qint32 BorderColor = 0;
    qint16 SymbolStyle = 0;  // style code 0..10, see Symbology.h
    QString LabelField;
    QString AttrCaption;
    QString AttrField;

    friend bool operator==(const LayerInfo&, const LayerInfo&) = default;
};

// Truth values as the records store them.
constexpr qint16 kTrue = -1;
constexpr qint16 kFalse = 0;

}  // namespace pelagon
