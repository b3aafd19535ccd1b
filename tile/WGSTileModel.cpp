#include "tile/WGSTileModel.h"

CWGSTileModel::~CWGSTileModel() = default;
