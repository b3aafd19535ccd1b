#include "core/encoder/XEncoder.h"

#include <QUuid>

std::string XEncoder::generateUUID() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}
