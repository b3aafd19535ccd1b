#pragma once

#include "core/VtCoreExport.h"
#include "tile/ITileModel.h"

// A geographic scheme marker without data or operations of its own; the factory never hands it out
// (the geographic scheme is CTileModel).
class VTCORE_EXPORT CWGSTileModel : public ITileModel {
public:
    CWGSTileModel() = default;
    ~CWGSTileModel() override;
};
