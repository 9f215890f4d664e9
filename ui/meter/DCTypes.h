// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Value types shared by the dial, its scale elements and its painting.

#include <cstdint>

namespace vemo {

// A colour as 0x00BBGGRR, or a system colour (high byte 0x80, low byte the colour index)
// that is resolved from the widget palette when painting.
using TColor = std::int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
inline constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010u);
inline constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014u);

// A radius of a scale element: 0 or below is that percentage of the dial's radius, above 0
// an absolute number of pixels.
using TRelativeRadius = std::int16_t;

enum TBorderStyle : std::uint8_t { bsUserDrawn, bsNormal, bsRaised, bsLowered };
enum TMarkerStyle : std::uint8_t { msUserDrawn, msLine };
enum TStyle : std::uint8_t { dsDial, dsGauge };
enum TTickStyle : std::uint8_t { tsUserDrawn = 0, tsLine = 1, tsRaised = 2, tsLowered = 3 };

enum TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };
// Bits of a font style set.
enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

}  // namespace vemo
