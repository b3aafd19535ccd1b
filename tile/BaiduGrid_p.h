#pragma once

// Half-widths of the Baidu and general tile grids; internal, not installed.

namespace vt_tile {

// Baidu tiles each side of the meridian at Baidu zoom z: ceil(20037508.34 / (256 res(z))), with
// res(z) = -1 outside 1..19 (a negative width, which no tile number passes).
double BaiduHalfWidth(int z);
// General tiles each side of the meridian at level z + 1: 2^z / 2, truncated (0 at z = 0).
double GeneralHalfWidth(int z);

}  // namespace vt_tile
