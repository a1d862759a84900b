// The window caption that follows the page title.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace ostrivel {

// "  —— OstrivelV1.0" in code page 936 (each em dash is 0xA1 0xAA).
inline constexpr std::string_view kCaptionSuffix = "  \xA1\xAA\xA1\xAA OstrivelV1.0";
// The caption before the first page title arrives.
inline constexpr std::string_view kInitialCaption = "OstrivelV1.0";

// The texts one after the other in one new text.
std::string JoinTexts(std::initializer_list<std::string_view> texts);

// The caption for a page title: the title whole, then the suffix.
inline std::string CaptionForTitle(std::string_view title) { return JoinTexts({title, kCaptionSuffix}); }

}  // namespace ostrivel
