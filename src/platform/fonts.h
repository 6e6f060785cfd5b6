// Bitmap fonts: the face "Arial" (whatever fontconfig offers for it) at a
// pixel height and a Windows weight, rasterised monochrome for the codes
// 0..254 (read as Windows-1252) into 256 consecutive GL display lists.
#pragma once

namespace plat {

// Returns the first of 256 display-list names; list base+255 stays empty.
// A face that cannot be found gives lists that draw nothing but still move
// nothing (the game stays silent about it). Needs a current GL context.
unsigned BuildBitmapFont(int pixelHeight, int weight);

}  // namespace plat
