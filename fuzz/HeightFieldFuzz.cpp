// Height-field blobs from a depository are untrusted: FromCache must never crash, read past the blob
// or allocate more than the blob holds, and whatever it accepts must write back to the same bytes.
#include "storage/HeightFieldMat.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(const uint8_t* data, size_t size) {
    const CCache blob(data, static_cast<int>(size), true);
    CHeightFieldMat mat = CHeightFieldMat::FromCache(blob);
    if (mat.IsNull()) return;
    // Accepted: the elements came from the blob, so they fit in it.
    if (static_cast<size_t>(mat.GetBufferSize()) + 20 > size) std::abort();
    const CCache again = CHeightFieldMat::ToCache(mat);
    if (again.GetLength() != 20 + mat.GetDataSize()) std::abort();
    if (std::memcmp(again.GetData(), data, 9) != 0) std::abort();  // width, height, type
    if (std::memcmp(again.GetData() + 20, data + 20, static_cast<size_t>(mat.GetDataSize())) != 0) std::abort();
    // Derived grids of small blobs stay in bounds too.
    if (mat.GetWidth() <= 64 && mat.GetHeight() <= 64) {
        mat.ScaleTo(mat.GetHeight() + 1, mat.GetWidth() + 2);
        mat.SubRegion(0, 0, mat.GetHeight() / 2, mat.GetWidth());
        mat.ToSubPyramidRegion(1, 1);
        (void)mat.ToString();
        mat.Cull(1);
        mat.AddOffset(1.5);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT_MAX - 20) return 0;
    Check(data, size);
    // Random headers almost never announce a small grid; also try the input behind a header made
    // from its first bytes (width and height 0..8, type 0..4) so the accepting path and short
    // element runs are exercised as much as the rejecting one.
    if (size >= 3) {
        std::vector<uint8_t> framed(20, 0);
        framed[3] = data[0] % 9;
        framed[7] = data[1] % 9;
        framed[8] = data[2] % 5;
        framed.insert(framed.end(), data + 3, data + size);
        Check(framed.data(), framed.size());
    }
    return 0;
}
